#pragma once
// The status line of the main window. Pane 0 shows one message at a time,
// painted from its colour tags (see InkMarkup.h); pane 1 is as wide as the
// word "进度" and carries the progress bar, which reaches 300 pixels further
// left over pane 0. The message, without tags, is also the status line's
// accessible name, so screen readers can speak it. A message longer than
// the part of pane 0 left visible is cut with "…"; its whole text is then
// the status line's tooltip and accessible description, followed by the
// message's details when it has any.
#include "ui/InkMarkup.h"
#include "ui/StatusLine.h"

#include <QStatusBar>

class QProgressBar;

namespace qav {

class CInkStatusBar : public QStatusBar, public IStatusLine
{
    Q_OBJECT
public:
    static constexpr int kStatusBarId = 101;
    static constexpr int kProgressBarId = 123;
    static constexpr int kProgressOverhang = 300; // pixels over pane 0
    static constexpr int kTextIndent = 2;         // pixels from pane 0's left edge

    explicit CInkStatusBar(QWidget* parent = nullptr);

    void SetStatusText(const QString& text) override;
    void SetStatusDetails(const QString& details) override;
    void SetProgress(int position) override;

    const QString& StatusText() const { return message_; }
    QWidget* Pane(int index) const;
    QProgressBar* ProgressBar() const { return progress_; }
    // The runs as drawn now, cut to the visible width when too long.
    QList<InkRun> ShownRuns(bool* elided = nullptr) const;
    bool Elided() const { return elided_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class InkPane;
    void PlaceProgressBar();
    // Pixels of pane 0 a message may take: up to the progress bar.
    int TextRoom() const;
    void UpdateElision();

    QString message_;
    QString details_; // of this message
    bool elided_ = false;
    InkPane* pane0_ = nullptr;
    QWidget* pane1_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

} // namespace qav
