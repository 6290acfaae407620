#include "ui/InkStatusBar.h"

#include <QEvent>
#include <QPainter>
#include <QProgressBar>
#include <QStringList>

#include <algorithm>

namespace qav {

// Pane 0: draws the stored message, run by run, on one line.
class CInkStatusBar::InkPane : public QWidget
{
public:
    InkPane(const CInkStatusBar* bar, QWidget* parent) : QWidget(parent), bar_(bar) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (bar_->StatusText().isEmpty())
            return;
        QPainter painter(this);
        const QFontMetrics fm(font());
        const int baseline = (height() - fm.height()) / 2 + fm.ascent();
        int x = kTextIndent;
        for (const InkRun& run : bar_->ShownRuns()) {
            painter.setPen(run.color);
            painter.drawText(QPoint(x, baseline), run.text);
            x += fm.horizontalAdvance(run.text);
        }
    }

private:
    const CInkStatusBar* bar_;
};

CInkStatusBar::CInkStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QString::number(kStatusBarId));
    setSizeGripEnabled(false);
    setAccessibleName(QString());

    pane0_ = new InkPane(this, this);
    pane0_->setObjectName(QStringLiteral("pane0"));
    pane0_->setMinimumHeight(fontMetrics().height() + 6);
    addWidget(pane0_, 1);

    pane1_ = new QWidget(this);
    pane1_->setObjectName(QStringLiteral("pane1"));
    pane1_->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("进度")) + 8);
    addPermanentWidget(pane1_);
    pane1_->installEventFilter(this);
    pane0_->installEventFilter(this);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QString::number(kProgressBarId));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(true);
    progress_->setAlignment(Qt::AlignCenter);
    progress_->setAccessibleName(tr("Progress"));
    PlaceProgressBar();
}

QWidget* CInkStatusBar::Pane(int index) const
{
    if (index == 0)
        return pane0_;
    if (index == 1)
        return pane1_;
    return nullptr;
}

void CInkStatusBar::SetStatusText(const QString& text)
{
    message_ = text;
    const QString plain = InkPlainText(text);
    setAccessibleName(plain);
    pane0_->setAccessibleName(plain);
    details_.clear();
    UpdateElision();
    pane0_->repaint();
}

void CInkStatusBar::SetStatusDetails(const QString& details)
{
    details_ = details;
    UpdateElision();
}

int CInkStatusBar::TextRoom() const
{
    const int visible = std::min(pane0_->width(), progress_->x() - pane0_->x());
    return visible - kTextIndent;
}

QList<InkRun> CInkStatusBar::ShownRuns(bool* elided) const
{
    bool cut = false;
    QList<InkRun> runs = ElideInk(ParseInk(message_), QFontMetrics(pane0_->font()), TextRoom(), &cut);
    if (elided)
        *elided = cut;
    return runs;
}

void CInkStatusBar::UpdateElision()
{
    ShownRuns(&elided_);
    // The whole message when it is cut, then its details.
    QStringList parts;
    if (elided_)
        parts << InkPlainText(message_);
    if (!details_.isEmpty())
        parts << details_;
    const QString tip = parts.join(QLatin1Char('\n'));
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(pane0_)}) {
        w->setToolTip(tip);
        w->setAccessibleDescription(tip);
    }
}

void CInkStatusBar::SetProgress(int position)
{
    progress_->setValue(position);
}

bool CInkStatusBar::eventFilter(QObject* watched, QEvent* event)
{
    const bool placed = event->type() == QEvent::Move || event->type() == QEvent::Resize;
    if (watched == pane1_ && placed)
        PlaceProgressBar();
    // The room for the message changed.
    if ((watched == pane1_ || watched == pane0_) && placed && !message_.isEmpty())
        UpdateElision();
    return QStatusBar::eventFilter(watched, event);
}

void CInkStatusBar::PlaceProgressBar()
{
    progress_->setGeometry(pane1_->geometry().adjusted(-kProgressOverhang, 0, 0, 0));
    progress_->raise();
}

} // namespace qav
