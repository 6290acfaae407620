#pragma once
// The 3D attitude display: a shaded two-axis camera gimbal drawn inside a
// host widget and turned by the attitude it is given. The host keeps the
// display for its whole life; Update may be called at the link rate (50 times
// a second) and repaints only when the attitude changed. While the host is
// disabled (the attitude is no longer live) the drawing is veiled.
#include <QPointer>
#include <QWidget>

namespace qav {

class AttitudeView;

class QAVShow3DLibExp
{
public:
    QAVShow3DLibExp();
    virtual ~QAVShow3DLibExp();
    QAVShow3DLibExp(const QAVShow3DLibExp&) = delete;
    QAVShow3DLibExp& operator=(const QAVShow3DLibExp&) = delete;

    // Draws inside `host` from now on. `style` is reserved (0); `scale` is
    // the share of the host's smaller side the model spans (0.8 typical).
    void Init(QWidget* host, int style, double scale);
    // Roll, tilt and pan in degrees.
    void Update(double roll, double tilt, double pan);

    // The drawing surface, for tests and screenshots; null before Init.
    QWidget* View() const;

private:
    QPointer<AttitudeView> view_;
};

} // namespace qav
