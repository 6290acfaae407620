#include "ui/LiveBox.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace qav {
namespace {

// The line edit's own margins around its text (QLineEdit keeps them private).
constexpr int kHorizontalMargin = 2;

} // namespace

CLiveBox::CLiveBox(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    // It paints its whole area, beneath its rounded corners with the colour
    // behind it, so what lies behind (group box, screen) is not painted
    // again with every value.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CLiveBox::event(QEvent* event)
{
    const bool taken = QLineEdit::event(event);
    // Polishing by a style sheet clears the attribute: it is set again.
    if (event->type() == QEvent::Polish || event->type() == QEvent::StyleChange)
        setAttribute(Qt::WA_OpaquePaintEvent);
    return taken;
}

QColor CLiveBox::Behind() const
{
    const QWidget* under = parentWidget() ? parentWidget() : this;
    return under->palette().color(QPalette::Window);
}

void CLiveBox::changeEvent(QEvent* event)
{
    // A new style sheet or palette draws another frame.
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange)
        frame_ = QPixmap();
    QLineEdit::changeEvent(event);
}

void CLiveBox::paintEvent(QPaintEvent* event)
{
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    // The text where QLineEdit puts it: left, centred on the line height.
    const QRect r =
        style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    const QFontMetrics fm = fontMetrics();
    // Being read, selected or scrolled (too long for the box), it is drawn
    // as a line edit draws itself.
    if (hasFocus() || hasSelectedText() || !isReadOnly() || layoutDirection() != Qt::LeftToRight ||
        alignment() != (Qt::AlignLeft | Qt::AlignVCenter) ||
        fm.horizontalAdvance(text()) + 1 > r.width() - 2 * kHorizontalMargin) {
        QPainter(this).fillRect(rect(), Behind());
        QLineEdit::paintEvent(event);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    if (frame_.isNull() || frame_.deviceIndependentSize().toSize() != size() ||
        frame_.devicePixelRatio() != ratio || framePalette_ != palette().cacheKey() ||
        frameEnabled_ != isEnabled() || frameBehind_ != Behind()) {
        frame_ = QPixmap((QSizeF(size()) * ratio).toSize());
        frame_.setDevicePixelRatio(ratio);
        frame_.fill(Behind());
        QPainter fp(&frame_);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &fp, this);
        framePalette_ = palette().cacheKey();
        frameEnabled_ = isEnabled();
        frameBehind_ = Behind();
        ++framesRendered_;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, frame_);
    p.setClipRect(r);
    p.setPen(palette().text().color());
    p.drawText(QPoint(r.x() + kHorizontalMargin, r.y() + (r.height() - fm.height() + 1) / 2 + fm.ascent()),
               text());
}

} // namespace qav
