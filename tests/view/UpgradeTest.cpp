// The main screen's firmware upgrade: its buttons, status messages and the
// status bar's progress, against the simulated controller's boot loader and
// with notifications handed in directly.
#include "view/UARTView.h"

#include "BootLoaderModel.h"
#include "Simulator.h"
#include "upgrade/FirmwareFile.h"
#include "ui/PlotWindow.h"
#include "view/ControlIds.h"

#include "gui_support/CloseOnceHeard.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "gui_support/WaitUntil.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QTest>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>

namespace qav {
namespace {

using namespace std::chrono_literals;
constexpr int kCom = 181;

class ProgressRecorder : public test::RecordingStatus
{
public:
    void SetProgress(int position) override
    {
        RecordingStatus::SetProgress(position);
        positions.push_back(position);
    }
    std::vector<int> positions;
};

class UpgradeTest : public ::testing::Test
{
protected:
    void StartSim()
    {
        sim::SimulatorConfig config;
        config.controllerCom = kCom;
        sim_ = std::make_unique<sim::Simulator>(config);
        const Result started = sim_->Start();
        ASSERT_TRUE(started) << started.message;
    }

    std::unique_ptr<CUARTView> MakeView()
    {
        auto view = std::make_unique<CUARTView>(params_, &status_, prompts_);
        view->OnInitialUpdate();
        return view;
    }

    std::string FirmwareFile(BoardId board, std::uint8_t version, std::size_t size)
    {
        const auto bytes = PackFirmware(board, version, 0x08000000, sim::SimFirmwareImage(version, size));
        const std::string path = dir_.File(board == BoardId::Controller ? "fw.bgsf" : "fw.bmcf");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    void Click(CUARTView& view, int id) { qobject_cast<QAbstractButton*>(view.Control(id))->click(); }

    bool WaitFor(const QString& message)
    {
        return test::WaitUntil([&] { return status_.texts.contains(message); });
    }

    // Open firmware, Start, Cancel.
    std::array<bool, 3> ButtonStates(CUARTView& view)
    {
        return {view.Enabled(idc::OpenFirmware), view.Enabled(idc::StartUpgrade),
                view.Enabled(idc::CancelUpgrade)};
    }

    test::ScopedPortsDir ports_;
    test::TempDir dir_;
    std::unique_ptr<sim::Simulator> sim_;
    ControllerParams params_;
    ProgressRecorder status_;
    test::FakePrompts prompts_;
};

using Buttons = std::array<bool, 3>;
constexpr Buttons kNoFile{true, false, false}, kReady{true, true, false}, kRunning{true, false, true};

TEST_F(UpgradeTest, UpgradesTheControllerAndShowsTheNewVersionAfterReopening)
{
    StartSim();
    auto view = MakeView();
    EXPECT_EQ(ButtonStates(*view), kNoFile);
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(test::WaitUntil([&] { return view->Text(idc::FirmwareVersion) == "Firmware Version:V2.3"; }));

    // A cancelled chooser changes nothing.
    Click(*view, idc::OpenFirmware);
    EXPECT_EQ(prompts_.fileTitles.back(), QStringLiteral("NUVA main controller firmware file"));
    EXPECT_EQ(prompts_.fileFilters.back(), QStringLiteral("bgsf File (*.bgsf)"));
    EXPECT_EQ(ButtonStates(*view), kNoFile);

    prompts_.openPath = QString::fromStdString(FirmwareFile(BoardId::Controller, 26, 24 * 1024));
    Click(*view, idc::OpenFirmware);
    EXPECT_EQ(status_.texts.back(),
              QStringLiteral("$INKblue$Firmware file open successfully! Main controller firmware V2.6, 24576 bytes."));
    EXPECT_EQ(ButtonStates(*view), kReady);
    EXPECT_FALSE(view->MessageGateOpen());

    // The user resets the controller with its boot jumper set: its boot
    // loader waits for the byte that sets its baud rate. The screen's link
    // heard the controller on this port, so no board check comes first.
    // Reset once it has heard every frame the screen sent: a frame still on
    // the line would set the boot loader's baud rate.
    ASSERT_TRUE(test::CloseOnceHeard(*sim_, sim::DeviceKind::Controller, view->Serial(),
                                     [&] { view->TakeDownLink(); }));
    sim_->ResetIntoBootLoader(sim::DeviceKind::Controller);
    status_.texts.clear();
    status_.positions.clear();
    Click(*view, idc::StartUpgrade);
    EXPECT_EQ(ButtonStates(*view), kRunning);
    EXPECT_FALSE(view->Serial().IsOpen());
    EXPECT_FALSE(view->LinkTimerActive());
    EXPECT_TRUE(view->MessageGateOpen());
    ASSERT_FALSE(status_.positions.empty());
    EXPECT_EQ(status_.positions.front(), 0);

    ASSERT_TRUE(WaitFor(QStringLiteral("$INKblue$Firmware upgraded successfully!")))
        << status_.texts.join('\n').toStdString();
    const QStringList expected{
        QStringLiteral("$INKblue$COM port open successfully!"),
        QStringLiteral("$INKgreen$Starting firmware upgrade procedure, please waiting..."),
        QStringLiteral("$INKblue$Firmware upgrade procedure start successfully!"),
        QStringLiteral("$INKgreen$Erasing chips, please waiting..."),
        QStringLiteral("$INKblue$Chips erased successfully!"),
        QStringLiteral("$INKgreen$Firmware upgrading, please wait..."),
        QStringLiteral("$INKblue$Firmware upgraded successfully!"),
    };
    EXPECT_EQ(status_.texts, expected);
    // Rising to 100, then back to 0 with the success.
    ASSERT_GE(status_.positions.size(), 3u);
    EXPECT_EQ(status_.positions.back(), 0);
    EXPECT_EQ(status_.positions[status_.positions.size() - 2], 100);
    EXPECT_TRUE(std::is_sorted(status_.positions.begin(), status_.positions.end() - 1));
    EXPECT_EQ(ButtonStates(*view), kReady);
    EXPECT_FALSE(view->MessageGateOpen());
    // The link stays down until the user opens the port again.
    EXPECT_FALSE(view->Serial().IsOpen());
    EXPECT_FALSE(view->LinkTimerActive());

    Click(*view, idc::OpenComPort);
    EXPECT_TRUE(test::WaitUntil([&] { return view->Text(idc::FirmwareVersion) == "Firmware Version:V2.6"; }))
        << view->Text(idc::FirmwareVersion).toStdString();
}

// The live plot window, open through the events that once left its charts
// small and the window deaf: the port opened anew, an upgrade with the
// port opened after it, and the window hidden and shown (at another size).
TEST_F(UpgradeTest, PlotsKeepTheirSizeAndTakeAnswersThroughReopenUpgradeAndHiding)
{
    StartSim();
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(test::WaitUntil([&] { return view->Text(idc::FirmwareVersion) == "Firmware Version:V2.3"; }));
    view->OpenPlotWindow();
    PlotWindow* plots = view->Plots();
    ASSERT_NE(plots, nullptr);

    // New answers reach the lines by the window's own refresh and redraw,
    // and every chart is drawn at the size its share of the window gives.
    auto fullAndLive = [&](const char* step) {
        SCOPED_TRACE(step);
        ASSERT_TRUE(plots->isVisible());
        QCustomPlot* plot = plots->Plot();
        const int before = plots->Series(0)->dataCount();
        const long received = plots->SamplesReceived();
        auto full = [&] {
            if (plot->viewport() != plot->rect() || plot->width() < plots->width() * 9 / 10)
                return false;
            for (int g = 0; g < PlotWindow::kGroups; ++g) {
                const QRect outer = plots->Chart(g)->outerRect();
                if (outer.width() < plot->width() / 2 || outer.height() < plot->height() / 5)
                    return false;
            }
            return true;
        };
        EXPECT_TRUE(test::WaitUntil([&] {
            return plots->SamplesReceived() >= received + 5 && plots->Series(0)->dataCount() > before && full();
        })) << "points " << before << " -> " << plots->Series(0)->dataCount() << ", plot "
            << plot->width() << 'x' << plot->height() << ", first chart " << plots->Chart(0)->outerRect().width()
            << 'x' << plots->Chart(0)->outerRect().height();
        for (int c = 0; c < PlotWindow::kChannels; ++c)
            EXPECT_DOUBLE_EQ((plots->Series(c)->data()->constEnd() - 1)->key, 0.0) << c;
    };
    fullAndLive("opened");

    // Closed once the simulator has heard every frame (the count before
    // the upgrade below must be exact), then opened again.
    const auto heardAll = [&] {
        return test::CloseOnceHeard(*sim_, sim::DeviceKind::Controller, view->Serial(),
                                    [&] { view->TakeDownLink(); });
    };
    ASSERT_TRUE(heardAll());
    Click(*view, idc::OpenComPort);
    fullAndLive("the port opened anew");

    prompts_.openPath = QString::fromStdString(FirmwareFile(BoardId::Controller, 26, 8 * 1024));
    Click(*view, idc::OpenFirmware);
    ASSERT_TRUE(heardAll());
    sim_->ResetIntoBootLoader(sim::DeviceKind::Controller);
    Click(*view, idc::StartUpgrade);
    ASSERT_TRUE(WaitFor(QStringLiteral("$INKblue$Firmware upgraded successfully!")))
        << status_.texts.join('\n').toStdString();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(test::WaitUntil([&] { return view->Text(idc::FirmwareVersion) == "Firmware Version:V2.6"; }));
    fullAndLive("upgraded, the port opened again");

    // Hidden while answers arrive, made smaller, shown again.
    plots->hide();
    const long hiddenFrom = plots->SamplesReceived();
    ASSERT_TRUE(test::WaitUntil([&] { return plots->SamplesReceived() >= hiddenFrom + 5; }));
    plots->resize(PlotWindow::kMinimumSize);
    plots->show();
    fullAndLive("hidden, made smallest, shown");
    plots->resize(PlotWindow::kPreferredSize);
    fullAndLive("made larger again");
}

// A motor board file is refused when chosen; a controller file started on
// the motor board's port ends with code 9 before any sync byte, and so does
// a port that does not open, with the reason the link gives.
TEST_F(UpgradeTest, NeitherAMotorFileNorTheMotorBoardIsFlashed)
{
    sim::SimulatorConfig config;
    config.controllerCom = kCom;
    config.motorCom = kCom + 1;
    sim_ = std::make_unique<sim::Simulator>(config);
    const Result started = sim_->Start();
    ASSERT_TRUE(started) << started.message;
    auto view = MakeView();
    prompts_.openPath = QString::fromStdString(FirmwareFile(BoardId::Motor, 26, 2048));
    Click(*view, idc::OpenFirmware);
    EXPECT_EQ(status_.texts.back(), QStringLiteral("$INKred$Firmware file refused: The file is for the motor board."));
    EXPECT_EQ(ButtonStates(*view), kNoFile);

    prompts_.openPath = QString::fromStdString(FirmwareFile(BoardId::Controller, 26, 2048));
    Click(*view, idc::OpenFirmware);
    EXPECT_EQ(ButtonStates(*view), kReady);
    // The controller's link on the motor board's port hears nothing it knows.
    ASSERT_TRUE(view->ConnectTo(kCom + 1));
    const auto before = sim_->Flash(sim::DeviceKind::Motor);
    Click(*view, idc::StartUpgrade);
    ASSERT_TRUE(WaitFor(QStringLiteral(
        "$INKred$Upgrade error code:9! The motor board answered on COM182; this firmware is for the main "
        "controller.")))
        << status_.texts.join('\n').toStdString();
    // Code 1 follows: Start again, Cancel still enabled.
    EXPECT_TRUE(test::WaitUntil([&] { return view->Enabled(idc::StartUpgrade); }));
    EXPECT_TRUE(view->Enabled(idc::CancelUpgrade));
    EXPECT_EQ(sim_->Flash(sim::DeviceKind::Motor), before);
    EXPECT_EQ(sim_->Stats(sim::DeviceKind::Motor).syncsHeard, 0u);

    Click(*view, idc::CancelUpgrade);
    EXPECT_EQ(status_.texts.back(), QStringLiteral("$INKblue$Firmware upgrade procedure cancel!"));
    EXPECT_EQ(ButtonStates(*view), kReady);
    EXPECT_FALSE(view->MessageGateOpen());

    // The motor board's port taken by another program: the reason follows.
    CSerialLink other;
    ASSERT_TRUE(OpenLinkSequence(other, kCom + 1));
    status_.texts.clear();
    Click(*view, idc::StartUpgrade);
    ASSERT_TRUE(test::WaitUntil(
        [&] { return !status_.texts.filter(QStringLiteral("COM port open failed!")).isEmpty(); }));
    const QString failed = status_.texts.filter(QStringLiteral("COM port open failed!")).front();
    EXPECT_TRUE(failed.startsWith(QStringLiteral("$INKred$COM port open failed! Cannot open COM182: ")))
        << failed.toStdString();
    EXPECT_TRUE(failed.contains(QStringLiteral("is busy"))) << failed.toStdString();
}

// Cancel in the middle of an upgrade leaves the board in its boot loader,
// perhaps inside a command: the next Start sends no board check, whose
// polls such a boot loader would answer with stray NACKs, and completes.
// The screen never heard the controller here, so only the cancelled run
// tells it where the board waits.
TEST_F(UpgradeTest, CancelThenStartCompletesWithoutAskingTheBoardAgain)
{
    StartSim();
    auto view = MakeView();
    const auto image = sim::SimFirmwareImage(27, 32 * 1024);
    prompts_.openPath = QString::fromStdString(FirmwareFile(BoardId::Controller, 27, image.size()));
    Click(*view, idc::OpenFirmware);
    ASSERT_EQ(ButtonStates(*view), kReady);

    // The board falls deaf and mute in the middle of the writes, however
    // late this thread wakes: the boot loader is left where the user's
    // Cancel finds it, perhaps inside a WRITE MEMORY.
    std::atomic<bool> held{false};
    sim_->AtEachTurn([&](sim::Simulator& sim) {
        if (sim.BootLoaderStats(sim::DeviceKind::Controller).writes < 8)
            return false;
        sim.FallSilent(sim::DeviceKind::Controller);
        held = true;
        return true;
    });
    Click(*view, idc::StartUpgrade);
    EXPECT_EQ(view->Upgrade().LastBoardCheck(), BoardCheck::Identify);
    ASSERT_TRUE(test::WaitUntil([&] { return held.load(); })) << status_.texts.join('\n').toStdString();
    // Its notifications so far are handled before the user clicks.
    ASSERT_TRUE(WaitFor(QStringLiteral("$INKgreen$Firmware upgrading, please wait...")));
    Click(*view, idc::CancelUpgrade);
    sim_->EndSilence(sim::DeviceKind::Controller);
    EXPECT_EQ(status_.texts.back(), QStringLiteral("$INKblue$Firmware upgrade procedure cancel!"));
    EXPECT_EQ(ButtonStates(*view), kReady);
    EXPECT_TRUE(sim_->InBootLoader(sim::DeviceKind::Controller));

    // What the cancelled run had posted before it stopped is shown first.
    QCoreApplication::processEvents();
    status_.texts.clear();
    Click(*view, idc::StartUpgrade);
    EXPECT_EQ(view->Upgrade().LastBoardCheck(), BoardCheck::Skip);
    ASSERT_TRUE(WaitFor(QStringLiteral("$INKblue$Firmware upgraded successfully!")))
        << status_.texts.join('\n').toStdString();
    EXPECT_FALSE(status_.texts.join('\n').contains(QStringLiteral("error")))
        << status_.texts.join('\n').toStdString();
    const auto flash = sim_->Flash(sim::DeviceKind::Controller);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_EQ(sim_->FirmwareVersion(sim::DeviceKind::Controller), 27);

    // The new firmware answers the polls again: the next Start asks.
    Click(*view, idc::StartUpgrade);
    EXPECT_EQ(view->Upgrade().LastBoardCheck(), BoardCheck::Identify);
    Click(*view, idc::CancelUpgrade);
}

TEST_F(UpgradeTest, EachCodeHasItsReaction)
{
    auto view = MakeView();
    prompts_.openPath = QString::fromStdString(dir_.File("any.bgsf"));
    Click(*view, idc::OpenFirmware);
    struct Case
    {
        int code;
        int progress;
        const char* text; // null: no message
        Buttons buttons;  // from Running
        int bar;          // progress bar afterwards, from 50
    };
    const std::vector<Case> cases{
        {11, 37, nullptr, kRunning, 37},
        {9, 0, "$INKred$Upgrade error code:9!", kRunning, 50},
        {27, 0, "$INKred$Upgrade error code:27!", kRunning, 50},
        {13, 0, nullptr, kRunning, 50},
        {25, 0, nullptr, kRunning, 50},
        {30, 0, nullptr, kRunning, 50},
        {0, 0, nullptr, kRunning, 50},
        {1, 0, nullptr, {true, true, true}, 50},
        {3, 0, "$INKblue$COM port open successfully!", kRunning, 50},
        {4, 0, "$INKred$COM port open failed!", kRunning, 50},
        {17, 0, "$INKblue$Chips erased successfully!", kRunning, 50},
        {22, 0, "$INKblue$Firmware upgraded successfully!", kReady, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        // Running, as after Start, without a library procedure behind it.
        view->Enable(idc::StartUpgrade, false);
        view->Enable(idc::CancelUpgrade, true);
        status_.SetProgress(50);
        view->CloseMessageGate();
        status_.texts.clear();
        IapNotifyRecord record;
        record.code = c.code;
        record.progress = c.progress;
        view->Upgrade().OnNotification(reinterpret_cast<std::intptr_t>(&record));
        // Shown although the controller link is not established.
        EXPECT_EQ(status_.texts, c.text ? QStringList{QString::fromUtf8(c.text)} : QStringList{});
        EXPECT_EQ(ButtonStates(*view), c.buttons);
        EXPECT_EQ(status_.progress, c.bar);
        EXPECT_EQ(view->MessageGateOpen(), c.code != 22);
    }
}

} // namespace
} // namespace qav
