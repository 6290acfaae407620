#pragma once
// The framed area inside the "3D Attitude Display" group that the attitude
// display draws into. Until a display is attached it shows an empty scene.
#include <QFrame>

namespace qav {

class CAttitudeArea : public QFrame
{
    Q_OBJECT
public:
    explicit CAttitudeArea(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace qav
