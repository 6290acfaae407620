#pragma once
// A read-only box whose value the controller changes up to 50 times a
// second. It is a QLineEdit in every way the program and assistive tools
// see (text, accessible name and value, selection, focus), but while it is
// not being interacted with it paints itself cheaply: its frame, drawn by
// the style (the skin's style sheet), is kept as a picture and only the text
// is drawn anew. With focus or a selection it paints as any line edit.
#include <QColor>
#include <QLineEdit>
#include <QPixmap>

namespace qav {

class CLiveBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit CLiveBox(QWidget* parent = nullptr);

    // How many times the frame picture was drawn by the style (tests).
    int FramesRendered() const { return framesRendered_; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The colour behind the box: that of the group box or screen it is on.
    QColor Behind() const;

    QPixmap frame_;
    qint64 framePalette_ = 0;
    bool frameEnabled_ = false;
    QColor frameBehind_;
    int framesRendered_ = 0;
};

} // namespace qav
