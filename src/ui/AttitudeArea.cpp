#include "ui/AttitudeArea.h"

#include <QLinearGradient>
#include <QPainter>

namespace qav {

CAttitudeArea::CAttitudeArea(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

void CAttitudeArea::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect r = contentsRect();
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(44, 62, 84));
    sky.setColorAt(1, QColor(24, 32, 44));
    painter.fillRect(r, sky);
    painter.setPen(QPen(QColor(90, 110, 135), 1, Qt::DotLine));
    painter.drawLine(r.left(), r.center().y(), r.right(), r.center().y());
    painter.drawLine(r.center().x(), r.top(), r.center().x(), r.bottom());
    painter.end();
    QFrame::paintEvent(event);
}

} // namespace qav
