// The main screen's tuning aids against the simulated controller on a real
// pseudo-terminal: the live plot window, recording, the marker of changes
// not written to flash, and the backup and count of a configuration load.
#include "view/UARTView.h"

#include "Simulator.h"
#include "app/MainFrame.h"
#include "app/UARTDoc.h"
#include "files/ConfigFile.h"
#include "ui/PlotWindow.h"
#include "view/ControlIds.h"
#include "view/MainScreenTable.h"

#include "gui_support/DriveLink.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <filesystem>
#include <sstream>

namespace qav {
namespace {

namespace fs = std::filesystem;
constexpr int kCom = 173;
const QString kAllUpdated = QStringLiteral("$INKblue$All parameters updated!");
const QString kFlashDone = QStringLiteral("$INKblue$Write setting to flash successfully!");
const QString kLoaded = QStringLiteral("$INKblue$Config file uploaded successfully!");

class TuningAidsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim::SimulatorConfig config;
        config.controllerCom = kCom;
        config.flashPath = dir.File("flash.bgsc");
        sim = std::make_unique<sim::Simulator>(config);
        const Result started = sim->Start();
        ASSERT_TRUE(started) << started.message;
        view = std::make_unique<CUARTView>(params, &status, prompts);
        view->SetBackupFolder(dir.File("backups"));
        view->OnInitialUpdate();
    }
    void Connect()
    {
        status.texts.clear();
        Click(idc::OpenComPort);
        ASSERT_TRUE(test::WaitUntil([&] { return status.texts.contains(kAllUpdated); }))
            << status.texts.join('\n').toStdString();
    }
    void Click(int id) { qobject_cast<QAbstractButton*>(view->Control(id))->click(); }
    // The simulated controller anew, reporting every telemetry channel with a
    // count of its own, half of them negative.
    void HoldEveryChannel()
    {
        sim.reset();
        sim::SimulatorConfig config;
        config.controllerCom = kCom;
        for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
            config.held[i] = (i % 2 ? -1 : 1) * static_cast<std::int32_t>(11 + 7 * i);
        held = config.held;
        sim = std::make_unique<sim::Simulator>(config);
        const Result started = sim->Start();
        ASSERT_TRUE(started) << started.message;
    }
    double HeldValue(std::size_t channel) const { return *held[channel] * kTelemetryChannels[channel].scale; }
    std::array<std::optional<std::int32_t>, kTelemetryChannelCount> held{};
    bool Marked() const
    {
        return view->HasUnflashedChanges() && view->UnflashedIndicator()->isVisibleTo(view.get());
    }
    std::string FileWith(int rollTotal, int pitchMin)
    {
        ControllerParams p = sim->ControllerWorkingParams();
        p.ROLL_TOTAL = static_cast<std::uint16_t>(rollTotal);
        p.PITCH_MIN = pitchMin;
        const std::string path = dir.File("tuned.bgsc");
        EXPECT_TRUE(SaveConfig(path, p));
        return path;
    }

    test::ScopedPortsDir ports;
    test::TempDir dir;
    std::unique_ptr<sim::Simulator> sim;
    ControllerParams params;
    test::RecordingStatus status;
    test::FakePrompts prompts;
    std::unique_ptr<CUARTView> view;
};

int GraphsIn(const QCPAxisRect* rect)
{
    return static_cast<int>(rect->graphs().size());
}

// Where time `t` lies in each chart, in the plot's pixels, as last drawn.
std::array<double, PlotWindow::kGroups> PixelsOf(const PlotWindow& plots, double t)
{
    std::array<double, PlotWindow::kGroups> x{};
    for (int g = 0; g < PlotWindow::kGroups; ++g)
        x[static_cast<std::size_t>(g)] = plots.Chart(g)->axis(QCPAxis::atBottom)->coordToPixel(t);
    return x;
}

TEST_F(TuningAidsTest, PlotWindowDrawsEveryAnswerFromTheSimulatedController)
{
    Connect();
    view->PlotsButton()->click();
    PlotWindow* plots = view->Plots();
    ASSERT_NE(plots, nullptr);
    ASSERT_TRUE(plots->isVisible());
    EXPECT_EQ(GraphsIn(plots->Chart(0)), 3);
    EXPECT_EQ(GraphsIn(plots->Chart(1)), 5);
    EXPECT_EQ(GraphsIn(plots->Chart(2)), 3);

    // Every answer in the window becomes a point, the newest at 0.
    ASSERT_TRUE(test::WaitUntil([&] { return plots->SamplesReceived() >= 50; }));
    plots->SetPaused(true);
    plots->Refresh();
    plots->Plot()->replot();
    const long received = plots->SamplesReceived();
    for (int c = 0; c < PlotWindow::kChannels; ++c) {
        QCPGraph* graph = plots->Series(c);
        ASSERT_EQ(graph->dataCount(), received) << c;
        EXPECT_DOUBLE_EQ((graph->data()->constEnd() - 1)->key, 0.0) << c;
        EXPECT_LT(graph->data()->constBegin()->key, -0.5) << c;
    }
    EXPECT_NEAR((plots->Series(0)->data()->constEnd() - 1)->value, view->Link().roll, 0.05);
    QCPAxis* x = plots->Chart(0)->axis(QCPAxis::atBottom);
    EXPECT_DOUBLE_EQ(x->range().size(), 30.0);

    // One instant at one x in all three charts, whatever their vertical
    // axes' labels take; 0 at the right edge of each plot area.
    for (const double t : {-30.0, -12.5, 0.0}) {
        const auto at = PixelsOf(*plots, t);
        for (int g = 1; g < PlotWindow::kGroups; ++g)
            EXPECT_NEAR(at[static_cast<std::size_t>(g)], at[0], 1.0) << "group " << g << " at " << t;
    }
    for (int g = 0; g < PlotWindow::kGroups; ++g) {
        EXPECT_NEAR(PixelsOf(*plots, 0.0)[static_cast<std::size_t>(g)], plots->Chart(g)->rect().right(), 1.0);
        EXPECT_NEAR(PixelsOf(*plots, -30.0)[static_cast<std::size_t>(g)], plots->Chart(g)->rect().left(), 1.0);
    }

    // Paused: answers still arrive, the picture stays through two turns of
    // the refresh timer.
    QSignalSpy refreshes(&plots->RefreshTimer(), &QTimer::timeout);
    ASSERT_TRUE(test::WaitUntil([&] { return plots->SamplesReceived() >= received + 10; }));
    const auto turns = refreshes.count();
    ASSERT_TRUE(test::WaitUntil([&] { return refreshes.count() >= turns + 2; }));
    EXPECT_EQ(plots->Series(0)->dataCount(), received);
    plots->SetPaused(false);
    EXPECT_GT(plots->Series(0)->dataCount(), received);

    struct WindowCase
    {
        int seconds;
        double span;
    };
    for (const WindowCase c : {WindowCase{10, 10.0}, WindowCase{60, 60.0}, WindowCase{45, 60.0}}) {
        plots->SetWindowSeconds(c.seconds);
        for (int g = 0; g < PlotWindow::kGroups; ++g) {
            const QCPRange range = plots->Chart(g)->axis(QCPAxis::atBottom)->range();
            EXPECT_DOUBLE_EQ(range.size(), c.span) << c.seconds << " in group " << g;
            EXPECT_DOUBLE_EQ(range.upper, 0.0) << c.seconds << " in group " << g;
        }
    }

    // A real click on a legend entry hides its line and shows it again; the
    // entry stays. Entries of every chart, not only the first.
    plots->SetPaused(true);
    plots->Refresh();
    plots->Plot()->replot();
    for (const int channel : {1, 6, 9}) {
        QCPGraph* graph = plots->Series(channel);
        QCPLegend* legend = plots->Legend(static_cast<int>(kTelemetryChannels[static_cast<std::size_t>(channel)].group));
        QCPPlottableLegendItem* entry = legend->itemWithPlottable(graph);
        ASSERT_NE(entry, nullptr) << channel;
        const QPoint at = entry->rect().center();
        QTest::mouseClick(plots->Plot(), Qt::LeftButton, {}, at);
        EXPECT_FALSE(graph->visible()) << channel;
        plots->Plot()->replot();
        EXPECT_EQ(legend->itemWithPlottable(graph), entry) << channel;
        EXPECT_EQ(entry->rect().center(), at) << channel;
        for (int other = 0; other < PlotWindow::kChannels; ++other)
            EXPECT_EQ(plots->Series(other)->visible(), other != channel) << channel << " and " << other;
        QTest::mouseClick(plots->Plot(), Qt::LeftButton, {}, at);
        EXPECT_TRUE(graph->visible()) << channel;
    }

    // Values under the pointer: a real mouse move over the attitude chart
    // at the oldest point drawn.
    plots->Plot()->replot();
    const QString before = plots->ValuesText();
    const double oldest = plots->Series(0)->data()->constBegin()->key;
    const QPoint at(static_cast<int>(std::lround(x->coordToPixel(oldest))), plots->Chart(0)->rect().center().y());
    QTest::mouseMove(plots->Plot(), at);
    EXPECT_NE(plots->ValuesText(), before);
    // Its time as the axis counts it, seconds before the latest answer,
    // give or take the pixel the pointer rests on.
    const QStringList words = plots->ValuesText().split(' ');
    ASSERT_GE(words.size(), 3);
    EXPECT_EQ(words[0], QStringLiteral("t"));
    EXPECT_NEAR(words[1].toDouble(), oldest, 0.1) << plots->ValuesText().toStdString();
    EXPECT_TRUE(plots->ValuesText().contains(QStringLiteral("RC shot"))) << plots->ValuesText().toStdString();
}

TEST(PlotWindowPlacementTest, FitsTheScreenBesideOrUnderTheMainWindow)
{
    const QMargins frame(2, 28, 2, 2);
    struct Case
    {
        const char* what;
        QRect available, owner;
        bool beside; // clear of the owner's frame
    };
    const Case cases[] = {
        {"laptop, main window at the top left", QRect(0, 0, 1366, 740), QRect(0, 0, 1004, 730), true},
        {"laptop, main window in the middle", QRect(0, 0, 1366, 740), QRect(180, 5, 1004, 730), false},
        {"full HD", QRect(0, 0, 1920, 1050), QRect(100, 100, 1004, 730), true},
        {"tall screen, no room to the right", QRect(0, 0, 1024, 1500), QRect(0, 0, 1004, 730), true},
        {"second screen to the right", QRect(1920, 0, 1366, 740), QRect(1920, 0, 1004, 730), true},
        {"tiny screen", QRect(0, 0, 320, 240), QRect(0, 0, 320, 240), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QRect place = PlotWindow::Placement(c.available, c.owner, frame);
        const QRect outer = place.marginsAdded(frame).translated(frame.left(), frame.top());
        EXPECT_GE(place.width(), PlotWindow::kMinimumSize.width());
        EXPECT_GE(place.height(), PlotWindow::kMinimumSize.height());
        EXPECT_LE(place.width(), PlotWindow::kPreferredSize.width());
        EXPECT_LE(place.height(), PlotWindow::kPreferredSize.height());
        // Inside the screen wherever the smallest window fits on it.
        const bool fits = c.available.width() >= PlotWindow::kMinimumSize.width() + 4;
        EXPECT_TRUE(!fits || c.available.contains(outer))
            << outer.x() << ',' << outer.y() << ' ' << outer.width() << 'x' << outer.height();
        EXPECT_TRUE(!c.beside || !outer.intersects(c.owner));
    }
}

// A new vertical range redraws the whole plot: the axes stay put while the
// lines move inside them, and follow when they leave or shrink well inside.
TEST(PlotWindowRangeTest, VerticalAxesFollowTheLinesOnlyWhenTheyLeaveOrShrink)
{
    test::FakePrompts prompts;
    PlotWindow plots(prompts);
    plots.SetWindowSeconds(10);
    QCPAxis* y = plots.Chart(static_cast<int>(kTelemetryChannels[kChannelRoll].group))->axis(QCPAxis::atLeft);
    auto at = PlotWindow::Clock::now();
    const struct
    {
        const char* what;
        double seconds, low, high; // the roll swinging between low and high
        bool moves;
    } steps[] = {
        {"the first swing", 10, -10, 10, true},
        {"a little wider, inside the range", 1, -12, 12, false},
        {"out of the range", 1, -12, 20, true},
        {"the old swings gone, small ones left", 11, -2, 2, true},
        {"a little larger, inside the range", 2, -2.5, 2.5, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        for (int i = 0; i < static_cast<int>(step.seconds * 50); ++i) {
            TelemetrySample sample;
            const double roll = i % 2 ? step.high : step.low;
            sample.live.counts[kChannelRoll] =
                static_cast<std::int32_t>(std::lround(roll / kTelemetryChannels[kChannelRoll].scale));
            plots.AddSample(sample, at += std::chrono::milliseconds(20));
        }
        const QCPRange before = y->range();
        plots.Refresh();
        const QCPRange after = y->range();
        EXPECT_EQ(after != before, step.moves) << after.lower << ' ' << after.upper;
        EXPECT_LE(after.lower, step.low);
        EXPECT_GE(after.upper, step.high);
    }
}

TEST_F(TuningAidsTest, RecordingWritesEveryAnswerUntilStoppedOrClosed)
{
    Connect();
    view->OpenPlotWindow();
    PlotWindow* plots = view->Plots();
    prompts.savePath = QString::fromStdString(dir.File("run.csv"));
    auto* record = plots->findChild<QPushButton*>(QString(), Qt::FindChildrenRecursively);
    for (QPushButton* b : plots->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Record"))
            record = b;
    record->click();
    ASSERT_TRUE(plots->Recording());
    EXPECT_EQ(record->text(), QStringLiteral("Stop Recording"));
    EXPECT_EQ(prompts.saveSuffixes.last(), QStringLiteral("csv"));
    const long from = plots->SamplesReceived();
    // Rows reach the file while the window is still open.
    ASSERT_TRUE(test::WaitUntil([&] {
        const std::string text = test::ReadWholeFile(dir.File("run.csv"));
        return std::count(text.begin(), text.end(), '\n') >= 10;
    }));
    record->click();
    EXPECT_FALSE(plots->Recording());
    const long rows = plots->SamplesReceived() - from;
    EXPECT_EQ(plots->RecordingStateText(),
              QStringLiteral("Wrote %1 rows to %2").arg(rows).arg(QString::fromStdString(dir.File("run.csv"))));
    const std::string text = test::ReadWholeFile(dir.File("run.csv"));
    EXPECT_EQ(
        text.rfind("t,roll,tilt,pan,rc_roll,rc_tilt,rc_pan,rc_mode,rc_shot,ax,ay,az,motor,firmware\n0.000,",
                   0),
        0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), rows + 1);
    EXPECT_NE(text.find(",off,2.3\n"), std::string::npos);

    // Closing the window ends a recording.
    prompts.savePath = QString::fromStdString(dir.File("second.csv"));
    record->click();
    ASSERT_TRUE(plots->Recording());
    plots->close();
    EXPECT_FALSE(plots->Recording());

    // A file that fills up ends the recording and says so, after the answer.
    if (fs::exists("/dev/full")) {
        ASSERT_TRUE(plots->StartRecordingTo(QStringLiteral("/dev/full")));
        ASSERT_TRUE(test::WaitUntil([&] { return !plots->Recording() && !prompts.messages.isEmpty(); }));
        EXPECT_EQ(prompts.messages.last().text,
                  QStringLiteral("Recording to /dev/full stopped: the file cannot be written."));
        EXPECT_EQ(record->text(), QStringLiteral("Record"));
        EXPECT_EQ(plots->RecordingStateText(), QString()); // nothing said to be kept
    }

    // A file that cannot be made is said, and nothing records.
    prompts.savePath = QString::fromStdString(dir.File("no/such/folder/x.csv"));
    record->click();
    EXPECT_FALSE(plots->Recording());
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().text.startsWith(QStringLiteral("Cannot create")));
}

TEST_F(TuningAidsTest, EveryChannelReachesItsBoxItsPlotAndTheRecording)
{
    HoldEveryChannel();
    Connect();
    view->PlotsButton()->click();
    PlotWindow* plots = view->Plots();
    ASSERT_NE(plots, nullptr);
    ASSERT_TRUE(plots->StartRecordingTo(QString::fromStdString(dir.File("held.csv"))));
    auto boxesShowHeld = [&] {
        for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
            if (const int box = kTelemetryChannels[i].box;
                box != 0 && view->Text(box) != QString::fromStdString(ChannelText(i, HeldValue(i))))
                return false;
        return true;
    };
    ASSERT_TRUE(test::WaitUntil([&] { return boxesShowHeld() && plots->SamplesReceived() >= 3; }));
    plots->StopRecording();
    plots->Refresh();

    const std::string recorded = test::ReadWholeFile(dir.File("held.csv"));
    std::istringstream lines(recorded);
    std::string header, row;
    ASSERT_TRUE(std::getline(lines, header) && std::getline(lines, row)) << recorded;
    QStringList keys = QString::fromStdString(header).split(',');
    QStringList values = QString::fromStdString(row).split(',');
    ASSERT_EQ(keys.size(), values.size());
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i) {
        const TelemetryChannel& c = kTelemetryChannels[i];
        SCOPED_TRACE(std::string(c.key));
        QCPGraph* graph = plots->Series(static_cast<int>(i));
        EXPECT_EQ(graph->name().toStdString(), c.label);
        EXPECT_EQ(graph->keyAxis()->axisRect(), plots->Chart(static_cast<int>(c.group)));
        ASSERT_GT(graph->dataCount(), 0);
        EXPECT_FLOAT_EQ(static_cast<float>((graph->data()->constEnd() - 1)->value),
                        static_cast<float>(HeldValue(i)));
        const auto column = static_cast<qsizetype>(
            keys.indexOf(QString::fromUtf8(c.key.data(), static_cast<qsizetype>(c.key.size()))));
        ASSERT_GT(column, 0);
        EXPECT_EQ(values[column].toStdString(), ChannelNumber(i, HeldValue(i)));
    }
}

TEST_F(TuningAidsTest, UnflashedMarkerFollowsWhatTheControllerHoldsAgainstItsFlash)
{
    QLabel* marker = view->UnflashedIndicator();
    EXPECT_EQ(marker->accessibleName(), QStringLiteral("Changes not written to flash"));
    EXPECT_FALSE(marker->accessibleDescription().isEmpty());
    Connect();
    EXPECT_FALSE(Marked()); // reading back changes nothing

    struct Step
    {
        const char* what;
        std::function<void()> act;
        bool marked;
    };
    const Step steps[] = {
        {"an upload the controller acknowledges",
         [&] { view->LoadConfigFile(QString::fromStdString(FileWith(201, -61))); }, true},
        {"a flash write", [&] { Click(idc::WriteSettingsToFlash); }, false},
        {"another upload", [&] { view->LoadConfigFile(QString::fromStdString(FileWith(202, -62))); }, true},
        // Closing the port wrote nothing: the read-back shows the upload.
        {"the port opened anew", [&] { Click(idc::OpenComPort); }, true},
        // A controller that restarted holds what its flash keeps.
        {"a restart, then the port opened anew",
         [&] {
             sim->Reset(sim::DeviceKind::Controller);
             Click(idc::OpenComPort);
         },
         false},
        {"an upload after the restart",
         [&] { view->LoadConfigFile(QString::fromStdString(FileWith(203, -63))); }, true},
        {"an upload of the values flash keeps",
         [&] { view->LoadConfigFile(QString::fromStdString(FileWith(201, -61))); }, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        // Ticked by hand, each tick answered: no loss of the link mid-upload.
        EXPECT_TRUE(test::DriveLink(view->PortLink(), [&] { return Marked() == s.marked; }));
    }
    EXPECT_EQ(sim->ControllerFlashParams().ROLL_TOTAL, 201);
    EXPECT_EQ(sim->ControllerWorkingParams().ROLL_TOTAL, 201);
}

TEST_F(TuningAidsTest, ALoadKeepsTheControllersSetAndSaysHowManyValuesChanged)
{
    Connect();
    const ControllerParams device = sim->ControllerWorkingParams();
    status.texts.clear();
    view->LoadConfigFile(QString::fromStdString(FileWith(device.ROLL_TOTAL + 1, device.PITCH_MIN - 2)));
    ASSERT_FALSE(status.texts.isEmpty());
    EXPECT_EQ(status.texts.last(), kLoaded + QStringLiteral(" 2 values changed. Previous set kept in ") +
                                       QString::fromStdString(dir.File("backups")));
    // Until the controller has taken the file it still holds its own set.
    ASSERT_TRUE(
        test::DriveLink(view->PortLink(), [&] { return view->Link().pendingFrameType == kTypePoll; }));
    std::vector<fs::path> backups;
    for (const auto& e : fs::directory_iterator(dir.File("backups")))
        backups.push_back(e.path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(backups[0].filename().string().ends_with("_COM173.bgsc")) << backups[0];
    ControllerParams kept;
    ASSERT_TRUE(LoadConfig(backups[0].string(), kept));
    EXPECT_EQ(kept.ROLL_TOTAL, device.ROLL_TOTAL);
    EXPECT_EQ(kept.PITCH_MIN, device.PITCH_MIN);

    // The same file again changes nothing: said so, and neither sent nor
    // kept again.
    const qsizetype shown = status.texts.size();
    view->LoadConfigFile(QString::fromStdString(dir.File("tuned.bgsc")));
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().text.contains(QStringLiteral("changes nothing")));
    EXPECT_EQ(status.texts.size(), shown);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("backups")), fs::directory_iterator()), 1);

    // No place for the backup: asked first; "No" loads nothing.
    view->SetBackupFolder(dir.File("tuned.bgsc") + "/backups");
    prompts.answerYes = false;
    const ControllerParams before = params;
    view->LoadConfigFile(QString::fromStdString(FileWith(999, -99)));
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_EQ(prompts.messages.last().buttons, MessageButtons::YesNo);
    EXPECT_EQ(params, before);
}

TEST(TuningAidsLayoutTest, NewControlsLeaveTheScreensControlsWhereTheyAre)
{
    CUARTDoc doc;
    ControllerParams params;
    test::FakePrompts prompts;
    CMainFrame frame(doc, params, prompts);
    frame.show();
    CUARTView* view = frame.View();
    const QRect added[] = {view->PlotsButton()->geometry(), view->UnflashedIndicator()->geometry()};
    for (const ControlRow& row : MainScreenControls()) {
        if (row.hidden || row.group != 0)
            continue; // groups are checked whole
        QWidget* control = view->Control(row.id);
        ASSERT_NE(control, nullptr) << row.id;
        for (const QRect& r : added)
            EXPECT_FALSE(control->geometry().intersects(r)) << row.id;
    }
    for (const QRect& r : added)
        EXPECT_TRUE(view->rect().contains(r));

    // Ctrl+P from any box opens the plot window.
    EXPECT_EQ(view->Plots(), nullptr);
    QTest::keyClick(view->Control(idc::RollTotal), Qt::Key_P, Qt::ControlModifier);
    ASSERT_NE(view->Plots(), nullptr);
    EXPECT_TRUE(view->Plots()->isVisible());
}

} // namespace
} // namespace qav
