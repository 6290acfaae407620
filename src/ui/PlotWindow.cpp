#include "ui/PlotWindow.h"

#include "files/CsvRecorder.h"
#include "ui/Prompts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QGraphicsLayout>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace qav {

// A chart that reports the time under the mouse pointer.
class PlotChartView : public QChartView
{
public:
    PlotChartView(QChart* chart, PlotWindow& owner) : QChartView(chart), owner_(owner)
    {
        setMouseTracking(true);
        setRenderHint(QPainter::Antialiasing, false);
        setCacheMode(QGraphicsView::CacheBackground);
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override
    {
        owner_.ShowValuesAt(chart()->mapToValue(event->position()).x());
        QChartView::mouseMoveEvent(event);
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QChartView::resizeEvent(event); // the chart takes the new size
        owner_.AlignPlotAreas();
    }

private:
    PlotWindow& owner_;
};

namespace {

// A chart per channel group, in the order of the groups.
struct GroupRow
{
    const char* title;
    // The smallest span of the vertical axis, so that a flat line is not
    // blown up into noise.
    double minimumSpan;
};
constexpr GroupRow kGroupRows[] = {
    {"Attitude (degrees)", 2.0},
    {"RC channels", 10.0},
    {"Accelerations (g)", 0.2},
};
static_assert(std::size(kGroupRows) == kChannelGroupCount);

int GroupOf(int channel)
{
    return static_cast<int>(kTelemetryChannels[static_cast<std::size_t>(channel)].group);
}

constexpr int kWindowChoices[] = {10, 30, 60};

const QString kTitle = QStringLiteral("QAV-NUVA Live Plots");

} // namespace

PlotWindow::PlotWindow(IPrompts& prompts, QWidget* parent) : QWidget(parent, Qt::Window), prompts_(prompts)
{
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    resize(900, 760);

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    pause_ = new QPushButton(QStringLiteral("Pause"), this);
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, [this](bool on) { SetPaused(on); });
    window_ = new QComboBox(this);
    for (int s : kWindowChoices)
        window_->addItem(QStringLiteral("%1 s").arg(s), s);
    window_->setAccessibleName(QStringLiteral("Time window"));
    window_->setCurrentIndex(1);
    connect(window_, &QComboBox::activated, this,
            [this](int i) { SetWindowSeconds(window_->itemData(i).toInt()); });
    record_ = new QPushButton(QStringLiteral("Record"), this);
    connect(record_, &QPushButton::clicked, this, [this] {
        if (Recording())
            StopRecording();
        else
            StartRecording();
    });
    recordingState_ = new QLabel(this);
    auto* windowLabel = new QLabel(QStringLiteral("Time window"), this);
    windowLabel->setBuddy(window_);
    bar->addWidget(pause_);
    bar->addWidget(windowLabel);
    bar->addWidget(window_);
    bar->addWidget(record_);
    bar->addWidget(recordingState_, 1);
    layout->addLayout(bar);

    for (int g = 0; g < kGroups; ++g) {
        auto* chart = new QChart;
        chart->setTitle(QString::fromUtf8(kGroupRows[g].title));
        chart->setAnimationOptions(QChart::NoAnimation);
        chart->setDropShadowEnabled(false); // a blurred shadow is costly to repaint
        chart->legend()->setAlignment(Qt::AlignRight);
        chart->setMargins(QMargins(4, 2, 4, 2));
        auto* x = new QValueAxis;
        x->setTitleText(QStringLiteral("seconds before the latest answer"));
        x->setLabelFormat(QStringLiteral("%.0f"));
        x->setTickType(QValueAxis::TicksDynamic);
        x->setTickAnchor(0);
        auto* y = new QValueAxis;
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        xAxes_[static_cast<std::size_t>(g)] = x;
        yAxes_[static_cast<std::size_t>(g)] = y;
        auto* view = new PlotChartView(chart, *this);
        view->setAccessibleName(QString::fromUtf8(kGroupRows[g].title));
        view->setMinimumHeight(180);
        views_[static_cast<std::size_t>(g)] = view;
        layout->addWidget(view, 1);
    }
    for (int c = 0; c < kChannels; ++c) {
        auto* series = new QLineSeries;
        const std::string_view label = kTelemetryChannels[static_cast<std::size_t>(c)].label;
        series->setName(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
        QChart* chart = Chart(GroupOf(c));
        chart->addSeries(series);
        // Thin lines are drawn on the fast path; thick ones are stroked. Set
        // after the chart's theme has given the series its colour.
        QPen pen = series->pen();
        pen.setWidth(1);
        series->setPen(pen);
        series->attachAxis(xAxes_[static_cast<std::size_t>(GroupOf(c))]);
        series->attachAxis(yAxes_[static_cast<std::size_t>(GroupOf(c))]);
        series_[static_cast<std::size_t>(c)] = series;
    }
    for (int g = 0; g < kGroups; ++g)
        for (QLegendMarker* marker : Chart(g)->legend()->markers()) {
            auto* series = qobject_cast<QLineSeries*>(marker->series());
            connect(marker, &QLegendMarker::clicked, this, [this, series] { ToggleSeries(series); });
        }

    values_ = new QLabel(QStringLiteral("Point at a chart to read its values."), this);
    values_->setAccessibleName(QStringLiteral("Values under the cursor"));
    values_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(values_);

    SetWindowSeconds(windowSeconds_);
    UpdateRecordingControls();
    timer_.setInterval(kRefreshPeriod);
    connect(&timer_, &QTimer::timeout, this, &PlotWindow::OnTimer);
    timer_.start();
}

PlotWindow::~PlotWindow() = default;

QChart* PlotWindow::Chart(int group) const
{
    return views_[static_cast<std::size_t>(group)]->chart();
}

void PlotWindow::AddSample(const TelemetrySample& s, Clock::time_point at)
{
    if (!first_)
        first_ = at;
    const double t = std::chrono::duration<double>(at - *first_).count();
    Point point{t, {}};
    for (std::size_t c = 0; c < kTelemetryChannelCount; ++c)
        point.v[c] = static_cast<float>(s.live.Value(c));
    points_.push_back(point);
    // Keep a little more than the longest window.
    while (!points_.empty() && points_.front().t < t - kLongestWindowSeconds - 1)
        points_.pop_front();
    ++received_;
    dirty_ = true;
    if (recorder_ && !recorder_->Append(s, at)) {
        const QString path = QString::fromStdString(recorder_->Path());
        StopRecording();
        // Said once the answer has been handled: a message box here would
        // run its own event loop in the middle of the link's dispatch.
        QTimer::singleShot(0, this, [this, path] {
            prompts_.Message(this, AppTitle(),
                             QStringLiteral("Recording to %1 stopped: the file cannot be written.").arg(path),
                             MessageButtons::Ok);
        });
    }
}

void PlotWindow::OnTimer()
{
    if (recorder_)
        recorder_->FlushIfDue(Clock::now());
    if (dirty_ && !paused_ && isVisible())
        Refresh();
}

void PlotWindow::Refresh()
{
    dirty_ = false;
    if (points_.empty())
        return;
    // The time axis stays put (seconds before the newest answer), so only the
    // lines move: no axis is laid out again while the plot scrolls.
    const double end = points_.back().t;
    latest_ = end;
    const double start = end - windowSeconds_;
    const auto from = std::lower_bound(points_.begin(), points_.end(), start,
                                       [](const Point& p, double t) { return p.t < t; });
    const auto count = static_cast<std::size_t>(points_.end() - from);
    bool rangeChanged = false;
    for (int g = 0; g < kGroups; ++g) {
        // The smallest and the largest value of every four pixel columns,
        // in time order: the shape of the line at a few hundred points.
        const double width = Chart(g)->plotArea().width();
        const auto columns = static_cast<std::size_t>(std::max(50.0, width / 4));
        const std::size_t perColumn = std::max<std::size_t>(1, count / columns);
        double low = INFINITY, high = -INFINITY;
        for (int c = 0; c < kChannels; ++c) {
            if (GroupOf(c) != g)
                continue;
            const auto k = static_cast<std::size_t>(c);
            QLineSeries* series = series_[k];
            QList<QPointF> line;
            line.reserve(static_cast<qsizetype>(perColumn == 1 ? count : 2 * (count / perColumn + 1)));
            for (auto it = from; it != points_.end();) {
                const auto stop = static_cast<std::size_t>(points_.end() - it) > perColumn
                                      ? it + static_cast<std::ptrdiff_t>(perColumn)
                                      : points_.end();
                auto minAt = it, maxAt = it;
                for (auto p = it; p != stop; ++p) {
                    if (p->v[k] < minAt->v[k])
                        minAt = p;
                    if (p->v[k] > maxAt->v[k])
                        maxAt = p;
                }
                const auto first = std::min(minAt, maxAt), second = std::max(minAt, maxAt);
                line.append(QPointF(first->t - end, first->v[k]));
                if (second != first)
                    line.append(QPointF(second->t - end, second->v[k]));
                it = stop;
            }
            if (series->isVisible())
                for (const QPointF& p : line) {
                    low = std::min(low, p.y());
                    high = std::max(high, p.y());
                }
            series->replace(line);
        }
        if (low <= high) {
            // A new range only when the lines leave the old one or fill less
            // than half of it.
            QValueAxis* y = yAxes_[static_cast<std::size_t>(g)];
            const double span = std::max(high - low, kGroupRows[g].minimumSpan);
            const bool outside = low < y->min() || high > y->max();
            if (outside || span < (y->max() - y->min()) / 2) {
                const double mid = (low + high) / 2;
                y->setRange(mid - span * 0.55, mid + span * 0.55);
                y->applyNiceNumbers();
                rangeChanged = true; // its labels may need another width
            }
        }
    }
    if (rangeChanged)
        AlignPlotAreas();
}

void PlotWindow::AlignPlotAreas()
{
    if (!views_.back())
        return; // still being made
    // Each chart's own layout first: its legend and axis labels take what
    // they need.
    std::array<QRectF, kGroups> natural;
    for (int g = 0; g < kGroups; ++g) {
        QChart* chart = Chart(g);
        chart->setPlotArea(QRectF());
        if (QGraphicsLayout* layout = chart->layout())
            layout->activate();
        natural[static_cast<std::size_t>(g)] = chart->plotArea();
    }
    qreal left = 0, right = std::numeric_limits<qreal>::max();
    for (const QRectF& area : natural) {
        left = std::max(left, area.left());
        right = std::min(right, area.right());
    }
    if (right <= left)
        return;
    for (int g = 0; g < kGroups; ++g) {
        const QRectF& area = natural[static_cast<std::size_t>(g)];
        Chart(g)->setPlotArea(QRectF(QPointF(left, area.top()), QPointF(right, area.bottom())));
    }
}

void PlotWindow::SetPaused(bool paused)
{
    paused_ = paused;
    if (pause_->isChecked() != paused)
        pause_->setChecked(paused);
    pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    if (!paused)
        Refresh();
}

void PlotWindow::SetWindowSeconds(int seconds)
{
    const int* choice = std::find(std::begin(kWindowChoices), std::end(kWindowChoices), seconds);
    if (choice == std::end(kWindowChoices))
        return;
    windowSeconds_ = seconds;
    window_->setCurrentIndex(static_cast<int>(choice - std::begin(kWindowChoices)));
    for (QValueAxis* x : xAxes_) {
        x->setRange(-seconds, 0);
        x->setTickInterval(seconds / 6.0); // 2, 5 or 10 s
    }
    Refresh();
}

void PlotWindow::ToggleSeries(QLineSeries* series)
{
    series->setVisible(!series->isVisible());
    // The entry stays in the legend, greyed while its series is hidden.
    for (QLegendMarker* marker : series->chart()->legend()->markers(series)) {
        marker->setVisible(true);
        QBrush brush = marker->labelBrush();
        QColor color = brush.color();
        color.setAlphaF(series->isVisible() ? 1.0 : 0.4);
        brush.setColor(color);
        marker->setLabelBrush(brush);
    }
    Refresh();
}

void PlotWindow::ShowValuesAt(double x)
{
    if (points_.empty())
        return;
    const double t = latest_ + x;
    auto at =
        std::lower_bound(points_.begin(), points_.end(), t, [](const Point& p, double x) { return p.t < x; });
    if (at == points_.end() || (at != points_.begin() && t - (at - 1)->t < at->t - t))
        at = at == points_.begin() ? at : at - 1;
    // The time as the axes count it: seconds before the latest answer drawn.
    QString text = QStringLiteral("t %1 s").arg(at->t - latest_, 0, 'f', 2);
    for (std::size_t c = 0; c < kTelemetryChannelCount; ++c) {
        const TelemetryChannel& channel = kTelemetryChannels[c];
        text +=
            QStringLiteral("   %1 %2")
                .arg(QString::fromUtf8(channel.label.data(), static_cast<qsizetype>(channel.label.size())))
                .arg(static_cast<double>(at->v[c]), 0, 'f', channel.decimals);
    }
    values_->setText(text);
}

QString PlotWindow::ValuesText() const
{
    return values_->text();
}

bool PlotWindow::StartRecording()
{
    const QString path = prompts_.SaveFileName(this, QStringLiteral("Record telemetry"),
                                               QStringLiteral("CSV File (*.csv)"), QStringLiteral("csv"));
    return !path.isEmpty() && StartRecordingTo(path);
}

bool PlotWindow::StartRecordingTo(const QString& path)
{
    StopRecording();
    if (const Result r = CsvRecorder::Create(QFile::encodeName(path).toStdString(), recorder_); !r)
        prompts_.Message(this, AppTitle(), QString::fromLocal8Bit(r.message.c_str()), MessageButtons::Ok);
    UpdateRecordingControls();
    return recorder_ != nullptr;
}

void PlotWindow::StopRecording()
{
    if (recorder_)
        recorder_->Finish();
    recorder_.reset();
    UpdateRecordingControls();
}

void PlotWindow::UpdateRecordingControls()
{
    record_->setText(recorder_ ? QStringLiteral("Stop Recording") : QStringLiteral("Record"));
    recordingState_->setText(
        recorder_ ? QStringLiteral("Recording to %1").arg(QString::fromStdString(recorder_->Path()))
                  : QString());
    recordingState_->setAccessibleName(recordingState_->text());
}

void PlotWindow::closeEvent(QCloseEvent* event)
{
    // A recording ends with the window, so a file never grows unseen.
    StopRecording();
    QWidget::closeEvent(event);
}

} // namespace qav
