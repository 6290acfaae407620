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
#include <QScreen>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace qav {

namespace {

using namespace std::chrono_literals;

// A chart per channel group, in the order of the groups.
struct GroupRow
{
    const char* title;
    // The smallest span of the vertical axis, so that a flat line is not
    // blown up into noise.
    double minimumSpan;
};
constexpr GroupRow kGroupRows[] = {
    {QT_TRANSLATE_NOOP("qav::PlotWindow", "Attitude (degrees)"), 2.0},
    {QT_TRANSLATE_NOOP("qav::PlotWindow", "RC channels"), 10.0},
    {QT_TRANSLATE_NOOP("qav::PlotWindow", "Accelerations (g)"), 0.2},
};
static_assert(std::size(kGroupRows) == kChannelGroupCount);

// How much of a new vertical range the lines fill, and how little of it
// they may fill before it is taken anew.
constexpr double kFilled = 0.7;
constexpr double kShrunk = 1.0 / 3;

int GroupOf(int channel)
{
    return static_cast<int>(kTelemetryChannels[static_cast<std::size_t>(channel)].group);
}

// Line colours, repeated in every chart: each chart has at most five lines.
const QColor kLineColors[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
                              QColor(0x94, 0x67, 0xbd), QColor(0xff, 0x7f, 0x0e)};

// The spans offered, and how often each is redrawn: the lines move the
// same 1/40 of the chart's width at each refresh whatever the span (15 px
// in a chart 600 px wide), and a longer span costs no more paints than a
// short one.
constexpr struct
{
    int seconds;
    std::chrono::milliseconds refresh;
} kWindowChoices[] = {{10, 250ms}, {30, 750ms}, {60, 1500ms}};

} // namespace

PlotWindow::PlotWindow(IPrompts& prompts, QWidget* parent) : QWidget(parent, Qt::Window), prompts_(prompts)
{
    setWindowTitle(tr("QAV-NUVA Live Plots"));
    setAccessibleName(windowTitle());
    setMinimumSize(kMinimumSize);
    resize(kPreferredSize);

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    pause_ = new QPushButton(tr("Pause"), this);
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, [this](bool on) { SetPaused(on); });
    window_ = new QComboBox(this);
    for (const auto& choice : kWindowChoices)
        window_->addItem(tr("%1 s").arg(choice.seconds), choice.seconds);
    window_->setAccessibleName(tr("Time window"));
    window_->setCurrentIndex(1);
    connect(window_, &QComboBox::activated, this,
            [this](int i) { SetWindowSeconds(window_->itemData(i).toInt()); });
    record_ = new QPushButton(tr("Record"), this);
    connect(record_, &QPushButton::clicked, this, [this] {
        if (Recording())
            StopRecording();
        else
            StartRecording();
    });
    recordingState_ = new QLabel(this);
    auto* windowLabel = new QLabel(tr("Time window"), this);
    windowLabel->setBuddy(window_);
    bar->addWidget(pause_);
    bar->addWidget(windowLabel);
    bar->addWidget(window_);
    bar->addWidget(record_);
    bar->addWidget(recordingState_, 1);
    layout->addLayout(bar);

    plot_ = new QCustomPlot(this);
    plot_->setAccessibleName(tr("Live plots"));
    plot_->setAutoAddPlottableToLegend(false);
    // Thin unsmoothed lines: the cheap path, and crisp at this density.
    plot_->setNotAntialiasedElements(QCP::aeAll);
    plot_->setPlottingHints(QCP::phCacheLabels);
    // The lines in a paint buffer of their own: while the axes stay as
    // they are, a refresh redraws only them, not the texts around them.
    plot_->layer(QStringLiteral("main"))->setMode(QCPLayer::lmBuffered);
    plot_->setAntialiasedElements(QCP::aeLegend);
    QCPLayoutGrid* grid = plot_->plotLayout();
    grid->clear();
    auto* margins = new QCPMarginGroup(plot_);
    for (int g = 0; g < kGroups; ++g) {
        const auto k = static_cast<std::size_t>(g);
        auto* title = new QCPTextElement(plot_, tr(kGroupRows[g].title));
        grid->addElement(2 * g, 0, title);
        auto* rect = new QCPAxisRect(plot_);
        grid->addElement(2 * g + 1, 0, rect);
        rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
        rect->setMinimumSize(100, 60);
        QCPAxis* x = rect->axis(QCPAxis::atBottom);
        x->setTicker(QSharedPointer<QCPAxisTickerFixed>::create());
        x->setNumberFormat(QStringLiteral("f"));
        x->setNumberPrecision(0);
        if (g + 1 == kGroups)
            x->setLabel(tr("seconds before the latest answer")); // once, under the last chart
        rects_[k] = rect;
        auto* legend = new QCPLegend;
        grid->addElement(2 * g + 1, 1, legend);
        legend->setLayer(QStringLiteral("legend"));
        legend->setBorderPen(Qt::NoPen);
        legend->setBrush(Qt::NoBrush);
        legends_[k] = legend;
    }
    // The charts take the room; the legends what they need.
    grid->setColumnStretchFactor(0, 1);
    grid->setColumnStretchFactor(1, 0.001);
    for (int g = 0; g < kGroups; ++g)
        grid->setRowStretchFactor(2 * g, 0.001);
    // One time range for all three.
    for (int g = 1; g < kGroups; ++g)
        connect(Chart(0)->axis(QCPAxis::atBottom), qOverload<const QCPRange&>(&QCPAxis::rangeChanged),
                Chart(g)->axis(QCPAxis::atBottom), qOverload<const QCPRange&>(&QCPAxis::setRange));

    std::array<int, kGroups> inGroup{};
    for (int c = 0; c < kChannels; ++c) {
        const auto g = static_cast<std::size_t>(GroupOf(c));
        QCPAxisRect* rect = rects_[g];
        QCPGraph* graph = plot_->addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        const std::string_view label = kTelemetryChannels[static_cast<std::size_t>(c)].label;
        graph->setName(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
        graph->setPen(QPen(kLineColors[static_cast<std::size_t>(inGroup[g]++) % std::size(kLineColors)], 1));
        graph->addToLegend(legends_[g]);
        graphs_[static_cast<std::size_t>(c)] = graph;
    }
    connect(plot_, &QCustomPlot::legendClick, this, [this](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) {
        if (auto* entry = qobject_cast<QCPPlottableLegendItem*>(item))
            if (auto* graph = qobject_cast<QCPGraph*>(entry->plottable()))
                ToggleSeries(graph);
    });
    plot_->setMouseTracking(true);
    connect(plot_, &QCustomPlot::mouseMove, this, [this](QMouseEvent* event) {
        for (QCPAxisRect* rect : rects_)
            if (rect->rect().contains(event->position().toPoint())) {
                ShowValuesAt(rect->axis(QCPAxis::atBottom)->pixelToCoord(event->position().x()));
                return;
            }
    });
    layout->addWidget(plot_, 1);

    values_ = new QLabel(tr("Point at a chart to read its values."), this);
    values_->setAccessibleName(tr("Values under the cursor"));
    values_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    values_->setWordWrap(true);
    layout->addWidget(values_);

    SetWindowSeconds(windowSeconds_);
    UpdateRecordingControls();
    connect(&timer_, &QTimer::timeout, this, &PlotWindow::OnTimer);
    timer_.start();
}

PlotWindow::~PlotWindow() = default;

QRect PlotWindow::Placement(const QRect& available, const QRect& owner, const QMargins& frame)
{
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    auto fit = [&](int room, int preferred, int minimum) { return std::max(minimum, std::min(preferred, room)); };
    const int roomRight = available.right() - owner.right() - frameWidth;
    const int roomBelow = available.bottom() - owner.bottom() - frameHeight;
    QSize size(fit(available.width() - frameWidth, kPreferredSize.width(), kMinimumSize.width()),
               fit(available.height() - frameHeight, kPreferredSize.height(), kMinimumSize.height()));
    QPoint corner;
    if (roomRight >= kMinimumSize.width()) {
        size.setWidth(fit(roomRight, kPreferredSize.width(), kMinimumSize.width()));
        corner = QPoint(owner.right() + 1, owner.top());
    } else if (roomBelow >= kMinimumSize.height()) {
        size.setHeight(fit(roomBelow, kPreferredSize.height(), kMinimumSize.height()));
        corner = QPoint(owner.left(), owner.bottom() + 1);
    } else {
        corner = QPoint(available.right() + 1 - size.width() - frameWidth,
                        available.bottom() + 1 - size.height() - frameHeight);
    }
    // Inside the screen, top left first where even the minimum is too big.
    corner.setX(std::max(available.left(),
                         std::min(corner.x(), available.right() + 1 - size.width() - frameWidth)));
    corner.setY(std::max(available.top(),
                         std::min(corner.y(), available.bottom() + 1 - size.height() - frameHeight)));
    return QRect(corner, size);
}

void PlotWindow::PlaceBeside(const QWidget* owner)
{
    const QWidget* top = owner->window();
    const QScreen* screen = top->screen();
    if (!screen)
        return;
    // Before the window is first shown the window manager has not framed it
    // yet: take the owner's frame as the likely one.
    const QRect outer = top->frameGeometry(), inner = top->geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    const QRect place = Placement(screen->availableGeometry(), outer, frame);
    move(place.topLeft());
    resize(place.size());
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
                             tr("Recording to %1 stopped: the file cannot be written.").arg(path),
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
    // Times are seconds before the newest answer, so the newest lies at 0
    // and the time axis stays put while the lines move.
    const double end = points_.back().t;
    latest_ = end;
    const auto from = std::lower_bound(points_.begin(), points_.end(), end - windowSeconds_,
                                       [](const Point& p, double t) { return p.t < t; });
    std::array<double, kGroups> low, high;
    low.fill(INFINITY);
    high.fill(-INFINITY);
    QVector<QCPGraphData> line;
    line.reserve(static_cast<qsizetype>(points_.end() - from));
    for (int c = 0; c < kChannels; ++c) {
        const auto k = static_cast<std::size_t>(c);
        const auto g = static_cast<std::size_t>(GroupOf(c));
        line.clear();
        for (auto it = from; it != points_.end(); ++it)
            line.append(QCPGraphData(it->t - end, static_cast<double>(it->v[k])));
        if (graphs_[k]->visible())
            for (const QCPGraphData& p : line) {
                low[g] = std::min(low[g], p.value);
                high[g] = std::max(high[g], p.value);
            }
        graphs_[k]->data()->set(line, true);
    }
    for (int g = 0; g < kGroups; ++g) {
        const auto k = static_cast<std::size_t>(g);
        if (low[k] > high[k])
            continue;
        // A new range redraws the whole plot, not only its lines: it is
        // taken only when the lines leave the old one or fill less than
        // kShrunk of it, and leaves them room to move.
        QCPAxis* y = rects_[k]->axis(QCPAxis::atLeft);
        const QCPRange range = y->range();
        const double span = std::max(high[k] - low[k], kGroupRows[g].minimumSpan);
        if (low[k] < range.lower || high[k] > range.upper || span < range.size() * kShrunk) {
            const double mid = (low[k] + high[k]) / 2;
            y->setRange(mid - span / kFilled / 2, mid + span / kFilled / 2);
            axesChanged_ = true;
        }
    }
    if (std::exchange(axesChanged_, false))
        // Drawn once the events waiting are handled: many changes, one
        // picture.
        plot_->replot(QCustomPlot::rpQueuedReplot);
    else
        plot_->layer(QStringLiteral("main"))->replot();
}

void PlotWindow::SetPaused(bool paused)
{
    paused_ = paused;
    if (pause_->isChecked() != paused)
        pause_->setChecked(paused);
    pause_->setText(paused ? tr("Resume") : tr("Pause"));
    if (!paused)
        Refresh();
}

void PlotWindow::SetWindowSeconds(int seconds)
{
    const auto* choice = std::find_if(std::begin(kWindowChoices), std::end(kWindowChoices),
                                      [seconds](const auto& c) { return c.seconds == seconds; });
    if (choice == std::end(kWindowChoices))
        return;
    windowSeconds_ = seconds;
    window_->setCurrentIndex(static_cast<int>(choice - std::begin(kWindowChoices)));
    timer_.setInterval(choice->refresh);
    for (QCPAxisRect* rect : rects_) {
        QCPAxis* x = rect->axis(QCPAxis::atBottom);
        x->ticker().staticCast<QCPAxisTickerFixed>()->setTickStep(seconds / 6.0); // 2, 5 or 10 s
        x->setRange(-seconds, 0);
    }
    axesChanged_ = true;
    Refresh();
}

void PlotWindow::ToggleSeries(QCPGraph* graph)
{
    graph->setVisible(!graph->visible());
    // The entry stays in the legend, greyed while its line is hidden.
    for (QCPLegend* legend : legends_)
        if (QCPPlottableLegendItem* entry = legend->itemWithPlottable(graph))
            entry->setTextColor(graph->visible() ? QColor(Qt::black) : QColor(Qt::gray));
    axesChanged_ = true; // and a legend entry
    Refresh();
    plot_->replot(QCustomPlot::rpQueuedReplot);
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
    QString text = tr("t %1 s").arg(at->t - latest_, 0, 'f', 2);
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

QString PlotWindow::RecordingStateText() const
{
    return recordingState_->text();
}

bool PlotWindow::StartRecording()
{
    const QString path =
        prompts_.SaveFileName(this, tr("Record telemetry"), tr("CSV File (*.csv)"), QStringLiteral("csv"));
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
    if (!recorder_)
        return;
    const bool written = recorder_->Finish();
    const long rows = recorder_->Rows();
    const QString path = QString::fromStdString(recorder_->Path());
    recorder_.reset();
    UpdateRecordingControls();
    // What was kept, where the user will look for it.
    if (written)
        recordingState_->setText(tr("Wrote %1 rows to %2").arg(rows).arg(path));
    recordingState_->setAccessibleName(recordingState_->text());
}

void PlotWindow::UpdateRecordingControls()
{
    record_->setText(recorder_ ? tr("Stop Recording") : tr("Record"));
    recordingState_->setText(recorder_ ? tr("Recording to %1").arg(QString::fromStdString(recorder_->Path()))
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
