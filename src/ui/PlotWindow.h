#pragma once
// The live plot window: every telemetry channel against time, one chart
// per channel group, every telemetry answer plotted. Pause freezes
// the picture (answers keep arriving and keep being recorded); the time
// window is 10, 30 or 60 s; a click on a legend entry hides or shows its
// line; the values nearest the mouse pointer are shown under the charts,
// with their time as the axes count it.
// The three charts are axis rects of one QCustomPlot, stacked in one
// column with a margin group on their left and right edges and one time
// range, so one instant lies at one x in all three, whatever room each
// vertical axis takes. The legends sit in a column of their own on the
// right. The newest answer drawn lies at 0.
// "Record" writes every answer to a CSV file until stopped or the window
// is closed.
//
// Cheap to keep open: answers go into a plain buffer, and the charts take
// the visible part as one batch per line every 250 ms to 1.5 s (the longer
// the span, the less often), redrawn only while the window is shown and
// not paused. The buffer holds a little over the longest span (60 s). The
// lines have a buffered layer of their own ("main"): while no axis range
// or legend entry changed, only that layer is drawn again.
//
// QCustomPlot (GPL-3.0, Debian's libqcustomplot-dev), not Qt Charts: Debian
// has no Qt Charts source, so it could not be built for Windows.
//
// GUI thread only.
#include "protocol/TelemetrySample.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>

class QComboBox;
class QCPAxisRect;
class QCPGraph;
class QCPLegend;
class QCustomPlot;
class QLabel;
class QPushButton;

namespace qav {

class CsvRecorder;
class IPrompts;

class PlotWindow : public QWidget
{
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kGroups = static_cast<int>(kChannelGroupCount);
    static constexpr int kChannels = static_cast<int>(kTelemetryChannelCount);
    static constexpr int kLongestWindowSeconds = 60;

    // Wide enough for the charts and their legends; small enough to sit
    // beside the 1000 px main window on a 1366 px screen.
    static constexpr QSize kPreferredSize{720, 560};
    static constexpr QSize kMinimumSize{340, 300};

    explicit PlotWindow(IPrompts& prompts, QWidget* parent = nullptr);
    ~PlotWindow() override;

    // Where the window goes (its frame's corner and its own size) beside
    // `owner`'s frame on a screen whose free area is `available`, `frame`
    // being what the window manager adds around it: to the right of the
    // owner, else under it, when there is room for kMinimumSize; else in
    // the screen's lower right corner. Always inside `available`.
    static QRect Placement(const QRect& available, const QRect& owner, const QMargins& frame);
    // Moves and sizes the window by Placement beside `owner`'s window.
    void PlaceBeside(const QWidget* owner);

    // One telemetry answer, received at `at`.
    void AddSample(const TelemetrySample& sample, Clock::time_point at);

    void SetPaused(bool paused);
    bool Paused() const { return paused_; }
    // 10, 30 or 60.
    void SetWindowSeconds(int seconds);
    int WindowSeconds() const { return windowSeconds_; }

    // Asks for a file and records into it; false when cancelled or the file
    // cannot be created (said in a message box).
    bool StartRecording();
    bool StartRecordingTo(const QString& path);
    void StopRecording();
    bool Recording() const { return recorder_ != nullptr; }

    // Moves the visible part of the buffer into the charts and asks for a
    // redraw (the refresh timer does this while the window is shown and not
    // paused).
    void Refresh();
    // Shows the values of the answer nearest `x` on the time axis (seconds
    // before the latest answer drawn).
    void ShowValuesAt(double x);

    QCustomPlot* Plot() const { return plot_; }
    QCPAxisRect* Chart(int group) const { return rects_[static_cast<std::size_t>(group)]; }
    QCPLegend* Legend(int group) const { return legends_[static_cast<std::size_t>(group)]; }
    QCPGraph* Series(int channel) const { return graphs_[static_cast<std::size_t>(channel)]; }
    QString ValuesText() const;
    // What "Stop Recording" said last: the rows written and the file.
    QString RecordingStateText() const;
    long SamplesReceived() const { return received_; }
    // What refreshes the charts, more often the shorter the span (tests
    // count its turns).
    const QTimer& RefreshTimer() const { return timer_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Point
    {
        double t;
        std::array<float, kChannels> v;
    };
    void OnTimer();
    void ToggleSeries(QCPGraph* graph);
    void UpdateRecordingControls();

    IPrompts& prompts_;
    std::deque<Point> points_;
    std::optional<Clock::time_point> first_;
    long received_ = 0;
    bool dirty_ = false;
    bool paused_ = false;
    // Something besides the lines changed: the whole plot is drawn anew.
    bool axesChanged_ = true;
    double latest_ = 0; // t of the newest answer drawn
    int windowSeconds_ = 30;
    QCustomPlot* plot_ = nullptr;
    std::array<QCPAxisRect*, kGroups> rects_{};
    std::array<QCPLegend*, kGroups> legends_{};
    std::array<QCPGraph*, kChannels> graphs_{};
    QPushButton* pause_ = nullptr;
    QPushButton* record_ = nullptr;
    QComboBox* window_ = nullptr;
    QLabel* values_ = nullptr;
    QLabel* recordingState_ = nullptr;
    std::unique_ptr<CsvRecorder> recorder_;
    QTimer timer_;
};

} // namespace qav
