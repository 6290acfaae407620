#include "ui/ImageBar.h"

#include "ui/Resources.h"

#include <QPainter>

namespace qav {

CImageBar::CImageBar(QWidget* parent) : QFrame(parent)
{
    InitGuiResources();
    background_.load(QStringLiteral(":/ui/mode-light.png"));
    fill_.load(QStringLiteral(":/ui/mode-dark.png"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
}

void CImageBar::SetRange(int a, int b)
{
    minimum_ = std::min(a, b);
    maximum_ = std::max(a, b);
    update();
}

bool CImageBar::SetPos(int value)
{
    const bool limited = value > maximum_;
    const int position = limited ? maximum_ : value;
    // Set at the link's rate: repaint only what moved.
    if (position != position_) {
        position_ = position;
        update();
    }
    return !limited;
}

double CImageBar::FillRatio() const
{
    // An empty range has no meaningful ratio: background only. A ratio
    // above 1 (a minimum above 0) would reach past the picture, so the fill
    // stops at full.
    if (maximum_ == minimum_)
        return 0;
    const double ratio = static_cast<double>(position_) / (static_cast<double>(maximum_) - minimum_);
    return std::min(ratio, 1.0);
}

int CImageBar::FillWidth(int width) const
{
    const double ratio = FillRatio();
    return ratio > 0 ? static_cast<int>(width * ratio) : 0;
}

int CImageBar::FillSourceColumns() const
{
    const double ratio = FillRatio();
    return ratio > 0 ? static_cast<int>(fill_.width() * ratio) : 0;
}

void CImageBar::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event); // the sunken edge
    const QRect client = contentsRect();
    QPainter painter(this);
    // Nearest-pixel stretching, as a plain stretch copy does.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Disabled: the position is old (no live link), so it is shown faded.
    if (!isEnabled())
        painter.setOpacity(kDisabledOpacity);
    painter.drawPixmap(client, background_);
    const int f = FillWidth(client.width());
    const int s = FillSourceColumns();
    if (f > 0 && s > 0)
        painter.drawPixmap(QRect(client.left(), client.top(), f, client.height()), fill_,
                           QRect(0, 0, s, fill_.height()));
}

} // namespace qav
