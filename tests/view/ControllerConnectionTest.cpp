// The main screen against the simulated controller on a real
// pseudo-terminal: connecting, reading the configuration back, live
// displays, losing and regaining the link, and the remembered COM entry.
#include "view/UARTView.h"

#include "Simulator.h"
#include "files/ConfigFile.h"
#include "files/SettingsFile.h"
#include "platform/PortMap.h"
#include "serial/PortList.h"
#include "ui/ImageBar.h"
#include "ui/PostedNotify.h"
#include "view/ControlIds.h"

#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "gui_support/WaitUntil.h"
#include "support/PseudoTerminal.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace qav {
namespace {

using namespace std::chrono_literals;
constexpr int kCom = 171;

const QString kPortOpened = QStringLiteral("$INKblue$COM port open successfully, please connect QAV-NUVA!");
const QString kConnected = QStringLiteral("$INKblue$QAV-NUVA connected successfully!");
const QString kAllUpdated = QStringLiteral("$INKblue$All parameters updated!");
const QString kDisconnected = QStringLiteral("$INKred$QAV-NUVA disconnected!");

class ControllerConnectionTest : public ::testing::Test
{
protected:
    void StartSim(ControllerParams device, sim::SimulatorConfig config = {})
    {
        // The simulator starts from its flash file: put the wanted set there.
        flash = dir.path() / "flash.bgsc";
        config.controllerCom = kCom;
        config.flashPath = flash.string();
        sim = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(sim::SaveControllerFlash(config.flashPath, device));
        const Result started = sim->Start();
        ASSERT_TRUE(started) << started.message;
    }

    std::unique_ptr<CUARTView> MakeView()
    {
        auto view = std::make_unique<CUARTView>(params, &status, prompts);
        view->SetStartupDirectory(dir.path().string() + "/");
        view->OnInitialUpdate();
        return view;
    }

    void Click(CUARTView& view, int id) { qobject_cast<QAbstractButton*>(view.Control(id))->click(); }

    bool WaitFor(const QString& message)
    {
        return test::WaitUntil([&] { return status.texts.contains(message); });
    }
    // Waits for `message` shown at or after the status numbered `from`.
    bool WaitForFrom(const QString& message, qsizetype from)
    {
        return test::WaitUntil([&] { return status.texts.lastIndexOf(message) >= from; });
    }

    test::ScopedPortsDir ports;
    test::TempDir dir;
    std::filesystem::path flash;
    std::unique_ptr<sim::Simulator> sim;
    ControllerParams params;
    test::RecordingStatus status;
    test::FakePrompts prompts;
};

ControllerParams DeviceSet()
{
    ControllerParams p = sim::DefaultControllerParams();
    p.ROLL_TOTAL = 321, p.ROLL_VEL = 45, p.PITCH_INT = 600; // one gain beyond the editing range
    p.ROLL_MAX = 40, p.ROLL_MIN = -30, p.PITCH_MAX = 88, p.PITCH_MIN = -120;
    p.PITCH_SERVO_REV = -1, p.ROLL_SERVO_REV = 1;
    p.RECEIVER_TYPE = 2, p.INSTALL_MODE = 3, p.DEFAULT_MODE = 2;
    p.ROLL_RC_ACC = 70, p.INIT_PITCH = -455, p.INIT_ROLL = 120;
    return p;
}

TEST_F(ControllerConnectionTest, ConnectsReadsBackAndShowsTheControllersValues)
{
    StartSim(DeviceSet());
    auto view = MakeView();
    ASSERT_GE(view->ItemCount(idc::ComList), 1);
    EXPECT_TRUE(view->ItemText(idc::ComList, 0).startsWith(QStringLiteral("COM171 ")));
    EXPECT_EQ(view->ComPortNumber(), kCom);
    EXPECT_FALSE(view->Enabled(idc::LoadConfig));

    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated)) << status.texts.join('\n').toStdString();
    const qsizetype opened = status.texts.indexOf(kPortOpened);
    const qsizetype connected = status.texts.indexOf(kConnected);
    ASSERT_GE(opened, 0);
    EXPECT_GT(connected, opened);
    EXPECT_GT(status.texts.indexOf(kAllUpdated), connected);
    EXPECT_TRUE(view->Enabled(idc::LoadConfig));
    EXPECT_TRUE(status.texts.contains(QStringLiteral("$INKblue$Motor off successfully!")));

    const ControllerParams device = DeviceSet();
    EXPECT_EQ(params.ROLL_TOTAL, device.ROLL_TOTAL);
    EXPECT_EQ(view->Text(idc::RollTotal), QStringLiteral("321"));
    EXPECT_EQ(view->Text(idc::TiltInt), QStringLiteral("600")); // shown as it came
    EXPECT_EQ(qobject_cast<QSlider*>(view->Control(idc::RollTotalSlider))->value(), 321);
    EXPECT_EQ(qobject_cast<QSlider*>(view->Control(idc::TiltIntSlider))->value(), 500);
    EXPECT_EQ(view->Text(idc::RollMax), QStringLiteral("40"));
    EXPECT_EQ(view->Text(idc::TiltMax), QStringLiteral("88"));
    EXPECT_EQ(view->Text(idc::TiltMin), QStringLiteral("-120"));
    EXPECT_EQ(view->Text(idc::RollRcSensitivity), QStringLiteral("70"));
    EXPECT_EQ(view->Text(idc::InitTiltAngle), QStringLiteral("-45.5"));
    EXPECT_EQ(view->Text(idc::InitRollAngle), QStringLiteral("12"));
    EXPECT_TRUE(view->Checked(idc::TiltMotorReverse));
    EXPECT_FALSE(view->Checked(idc::RollMotorReverse));
    EXPECT_EQ(view->Selection(idc::ReceiverType), 1);
    EXPECT_EQ(view->Selection(idc::SensorModuleMount), 2);
    EXPECT_EQ(view->Selection(idc::DefaultMode), 1);
    EXPECT_TRUE(view->Checked(idc::MotorOff));
    EXPECT_EQ(view->Text(idc::FirmwareVersion), QStringLiteral("Firmware Version:V2.3"));
}

// "Save Config" writes the controller's set only once all of it has been
// read back; before, it says there is nothing to save.
TEST_F(ControllerConnectionTest, SaveConfigWritesTheSetOnceTheReadBackIsComplete)
{
    StartSim(DeviceSet());
    auto view = MakeView();
    const std::string path = (dir.path() / "device.bgsc").string();
    prompts.savePath = QString::fromStdString(path);
    Click(*view, idc::SaveConfig);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].text, CUARTView::NothingToSaveMessage());
    EXPECT_FALSE(std::filesystem::exists(path));

    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated)) << status.texts.join('\n').toStdString();
    EXPECT_TRUE(view->ValuesKnown());
    Click(*view, idc::SaveConfig);
    EXPECT_EQ(prompts.messages.size(), 1);
    const std::string expected = (dir.path() / "expected.bgsc").string();
    ASSERT_TRUE(SaveConfig(expected, DeviceSet()));
    EXPECT_EQ(test::ReadWholeFile(path), test::ReadWholeFile(expected));
}

TEST_F(ControllerConnectionTest, LiveBoxesAndModeBarFollowTelemetry)
{
    StartSim(DeviceSet());
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated));
    const QRegularExpression acc(QStringLiteral("^[+-]\\d+\\.\\d\\d$"));
    const QRegularExpression angle(QStringLiteral("^[+-]\\d+\\.\\d$"));
    ASSERT_TRUE(test::WaitUntil([&] { return acc.match(view->Text(idc::AccelZ)).hasMatch(); }));
    auto* bar = qobject_cast<CImageBar*>(view->Control(idc::RcModeBar));
    ASSERT_NE(bar, nullptr);
    // The bar sits where the mode channel says, 100 up.
    ASSERT_TRUE(test::WaitUntil([&] { return bar->Position() == view->Text(idc::RcMode).toInt() + 100; }));
    EXPECT_TRUE(angle.match(view->Text(idc::AttitudeRoll)).hasMatch())
        << view->Text(idc::AttitudeRoll).toStdString();
    EXPECT_TRUE(angle.match(view->Text(idc::AttitudeTilt)).hasMatch());
    // The attitude keeps moving (noise at the least).
    const QString first =
        view->Text(idc::AttitudeRoll) + view->Text(idc::AttitudeTilt) + view->Text(idc::AccelX);
    EXPECT_TRUE(test::WaitUntil([&] {
        return view->Text(idc::AttitudeRoll) + view->Text(idc::AttitudeTilt) + view->Text(idc::AccelX) !=
               first;
    }));
}

TEST_F(ControllerConnectionTest, SilentControllerIsLostOnceAndFoundAgain)
{
    StartSim(DeviceSet());
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated));
    // Silent until the screen has said it lost the controller.
    sim->FallSilent(sim::DeviceKind::Controller);
    ASSERT_TRUE(WaitFor(kDisconnected));
    EXPECT_FALSE(view->Enabled(idc::LoadConfig));
    status.texts.clear();
    sim->EndSilence(sim::DeviceKind::Controller);
    ASSERT_TRUE(WaitFor(kConnected));
    EXPECT_TRUE(WaitFor(kAllUpdated));
    EXPECT_TRUE(view->Enabled(idc::LoadConfig));
    EXPECT_EQ(status.Count(kDisconnected), 0);
}

TEST_F(ControllerConnectionTest, UnpluggedControllerReconnectsWhenItComesBack)
{
    StartSim(DeviceSet());
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated));
    // Gone until the screen has said it lost the controller.
    sim->Unplug(sim::DeviceKind::Controller);
    ASSERT_TRUE(WaitFor(kDisconnected));
    EXPECT_FALSE(view->Enabled(idc::LoadConfig));
    const int lostAt = static_cast<int>(status.texts.size());
    sim->PlugIn(sim::DeviceKind::Controller);
    ASSERT_TRUE(WaitForFrom(kConnected, lostAt)) << status.texts.join('\n').toStdString();
    EXPECT_EQ(status.Count(kDisconnected), 1);
}

TEST_F(ControllerConnectionTest, NothingAttachedShowsNothingAndKeepsSending)
{
    // A port with nobody behind it: the screen stays quiet, the frames go out.
    StartSim(DeviceSet());
    sim->FallSilent(sim::DeviceKind::Controller);
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    // Past the frames after which the board is asked whether it waits in its
    // boot loader, and the frames that follow the question.
    const std::uint32_t frames = ScreenLink::kNoFrameTicks + 14;
    ASSERT_TRUE(
        test::WaitUntil([&] { return sim->Stats(sim::DeviceKind::Controller).bytesUnheard >= frames * 32; }));
    EXPECT_EQ(status.texts, QStringList({QString(), kPortOpened}));
    EXPECT_FALSE(view->Enabled(idc::LoadConfig));
    EXPECT_TRUE(view->LinkTimerActive());
    EXPECT_GE(view->Serial().SentTotal(), frames * 32);
    EXPECT_EQ(view->Link().commandCode, kCmdMotorOff);
    EXPECT_EQ(view->Link().pendingFrameType, kTypeReadGains);
}

TEST_F(ControllerConnectionTest, ComEntryIsRememberedAcrossARestart)
{
    StartSim(DeviceSet());
    // A second alias after the simulator's, chosen by the user.
    ASSERT_TRUE(RegisterPortAlias(kCom + 1, sim->DevicePath(sim::DeviceKind::Controller)));
    {
        auto view = MakeView();
        ASSERT_GE(view->ItemCount(idc::ComList), 2);
        view->SetSelection(idc::ComList, 1);
        emit qobject_cast<QComboBox*>(view->Control(idc::ComList))->activated(1);
        EXPECT_EQ(view->ComPortNumber(), kCom + 1);
    }
    EXPECT_EQ(ReadStoredIndex(dir.path().string() + "/", kSettingsComKey), 1);
    auto again = MakeView();
    EXPECT_EQ(again->Selection(idc::ComList), 1);
    EXPECT_EQ(again->ComPortNumber(), kCom + 1);
}

TEST_F(ControllerConnectionTest, StoredIndexBeyondTheListFallsBackToTheFirstEntry)
{
    StartSim(DeviceSet());
    ASSERT_TRUE(WriteStoredIndex(dir.path().string() + "/", kSettingsComKey, 500));
    auto view = MakeView();
    EXPECT_EQ(view->Selection(idc::ComList), 0);
    EXPECT_EQ(view->ComListIndex(), 0);
}

TEST_F(ControllerConnectionTest, EachAnswerIsTakenBeforeTheNextTick)
{
    // Every answer echoes the counter of the frame it answers; taken as it
    // arrives, it steps the counter for the next tick's frame. Held back
    // for a batch, it would not be taken until more bytes came, and the
    // next frames would go out with the old counter again. The test ticks
    // by hand, each tick once the answer to the last one has been taken.
    StartSim(DeviceSet());
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated));
    ScreenLink& link = view->PortLink();
    link.TickByHand();
    for (int tick = 0; tick < 20; ++tick) {
        SCOPED_TRACE(tick);
        const int counter = view->Link().sequenceCounter;
        const std::uint32_t before = view->Serial().SentTotal();
        link.TickNow();
        ASSERT_EQ(view->Serial().SentTotal() - before, 32u);
        ASSERT_TRUE(test::WaitUntil([&] { return view->Link().sequenceCounter == (counter + 1) % 256; }));
    }
}

TEST_F(ControllerConnectionTest, TheTimersTicksTakeTheAnswersWithoutAWakeUpEach)
{
    // Each answer taken by the next tick: no notification for received
    // bytes while the link is alive.
    StartSim(DeviceSet());
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated));
    struct CountNotes : QObject
    {
        int notes = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            notes += e->type() == PortNotifyEvent::EventType();
            return false;
        }
    } counter;
    ScreenLink& link = view->PortLink();
    link.installEventFilter(&counter);
    const std::uint32_t from = link.FramesTaken();
    ASSERT_TRUE(test::WaitUntil([&] { return link.FramesTaken() - from >= 25; }));
    EXPECT_EQ(counter.notes, 0);

    // A device gone is still heard of at once.
    sim.reset();
    ASSERT_TRUE(test::WaitUntil([&] { return link.WaitingForDevice(); }));
    EXPECT_GE(counter.notes, 1);
}

// Why a port did not open, as the command-line tool words it.
struct OpenFailureRow
{
    const char* name;
    int com;
    const char* says;
    bool listed = true;
};
void PrintTo(const OpenFailureRow& row, std::ostream* os)
{
    *os << row.name;
}

class OpenFailure : public ControllerConnectionTest, public ::testing::WithParamInterface<OpenFailureRow>
{
};

TEST_P(OpenFailure, TheStatusLineSaysWhy)
{
    const OpenFailureRow row = GetParam();
    StartSim(DeviceSet());
    CSerialLink holder; // for the busy row
    holder.SetMode(CSerialLink::kOwnerMode);
    const Result held = OpenLinkSequence(holder, kCom);
    ASSERT_TRUE(held) << held.message;
    ASSERT_TRUE(RegisterPortAlias(kCom + 2, dir.path().string() + "/unplugged-adapter"));
    auto view = MakeView();
    // As "--connect COM<n>" at start: a port the list lacks is tried all the same.
    EXPECT_EQ(view->ConnectTo(row.com), row.listed);
    EXPECT_FALSE(view->Serial().IsOpen());
    ASSERT_FALSE(status.texts.isEmpty());
    const QString shown = status.texts.last();
    const QString expected = QStringLiteral("$INKred$Cannot open COM%1: ").arg(row.com);
    EXPECT_TRUE(shown.startsWith(expected)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromUtf8(row.says))) << shown.toStdString();
    EXPECT_FALSE(status.texts.contains(kPortOpened));
    // The link still runs its timer, as it always did.
    EXPECT_TRUE(view->LinkTimerActive());

    // Once the port is free, the same button opens it.
    holder.Close(std::chrono::milliseconds{500});
    ASSERT_TRUE(view->ConnectTo(kCom));
    EXPECT_TRUE(WaitFor(kConnected));
}

INSTANTIATE_TEST_SUITE_P(Rows, OpenFailure,
                         ::testing::Values(OpenFailureRow{"Busy", kCom, "is busy: it is already open"},
                                           OpenFailureRow{"NotConnected", kCom + 2, "is not connected"},
                                           OpenFailureRow{"NotListed", 999, "COM999", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortOpenFailureText, PermissionSaysWhatToDoAndWhenItTakesEffect)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens every device";
    test::TempDir dir;
    const std::string path = dir.File("locked-device");
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ::chmod(path.c_str(), 0);
    CSerialLink link;
    const Result refused = OpenLinkSequence(link, path);
    ASSERT_FALSE(refused);
    const std::string text = PortOpenFailure(path, refused);
    EXPECT_NE(text.find("permission denied"), std::string::npos) << text;
    EXPECT_NE(text.find("usermod -aG"), std::string::npos) << text;
    EXPECT_NE(text.find("next login"), std::string::npos) << text;
}

TEST_F(ControllerConnectionTest, LiveDisplaysAreGreyedWhileTheLinkIsLost)
{
    StartSim(DeviceSet());
    auto view = MakeView();
    const int live[] = {idc::AttitudeRoll, idc::AttitudeTilt, idc::AttitudePan, idc::RcRoll,
                        idc::RcTilt,       idc::RcMode,       idc::RcShot,      idc::AccelX,
                        idc::AccelY,       idc::AccelZ,       idc::RcModeBar,   idc::AttitudeArea};
    auto allLive = [&](bool enabled) {
        for (int id : live) {
            if (view->Control(id)->isEnabled() != enabled)
                return false;
        }
        // The 3D drawing sits inside its area.
        QWidget* drawing = view->Control(idc::AttitudeArea)->findChild<QWidget*>();
        return drawing && drawing->isEnabled() == enabled;
    };
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated));
    EXPECT_TRUE(allLive(true));
    EXPECT_FALSE(view->LiveDisplaysStale());
    ASSERT_TRUE(test::WaitUntil([&] { return !view->Text(idc::AccelX).isEmpty(); }));

    sim->FallSilent(sim::DeviceKind::Controller);
    ASSERT_TRUE(WaitFor(kDisconnected));
    EXPECT_TRUE(view->LiveDisplaysStale());
    EXPECT_TRUE(allLive(false));
    const QString staleAx = view->Text(idc::AccelX);
    EXPECT_FALSE(staleAx.isEmpty()) << "the last values stay readable, greyed";

    status.texts.clear();
    sim->EndSilence(sim::DeviceKind::Controller);
    ASSERT_TRUE(WaitFor(kConnected));
    EXPECT_TRUE(allLive(true));
    EXPECT_FALSE(view->LiveDisplaysStale());

    // Pressing "Open COM Port" again leaves the old values stale until the
    // controller answers anew.
    sim->FallSilent(sim::DeviceKind::Controller);
    Click(*view, idc::OpenComPort);
    EXPECT_TRUE(allLive(false));
}

// A gimbal standing still, its sticks left alone: every live box must show
// its value again once the link is back, although no value has changed.
struct StillRow
{
    const char* name;
    enum { Silence, Unplug, Reopen } loss;
};
void PrintTo(const StillRow& row, std::ostream* os)
{
    *os << row.name;
}

class StillGimbal : public ControllerConnectionTest, public ::testing::WithParamInterface<StillRow>
{
protected:
    static constexpr int kLive[] = {idc::AttitudeRoll, idc::AttitudeTilt, idc::AttitudePan, idc::RcRoll,
                                    idc::RcTilt,       idc::RcMode,       idc::RcShot,      idc::AccelX,
                                    idc::AccelY,       idc::AccelZ};
    // What the boxes show, on screen and in the line edits assistive tools read.
    QStringList Shown(CUARTView& view) const
    {
        QStringList shown;
        for (int id : kLive)
            shown << view.Text(id) + QStringLiteral("|") + qobject_cast<QLineEdit*>(view.Control(id))->text();
        return shown;
    }
};

TEST_P(StillGimbal, LiveValuesAreShownAgainAfterTheLinkComesBack)
{
    sim::SimulatorConfig config;
    config.attitude = std::array<double, 3>{12.5, -4.0, 33.3};
    config.sticks = std::array<std::int8_t, 5>{10, -20, 0, -100, 100};
    StartSim(DeviceSet(), config);
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated));
    const QStringList expectedStart{QStringLiteral("+12.5|+12.5"), QStringLiteral("-4.0|-4.0"),
                                    QStringLiteral("+33.3|+33.3"), QStringLiteral("10|10"),
                                    QStringLiteral("-20|-20"),     QStringLiteral("-100|-100"),
                                    QStringLiteral("100|100")};
    auto showsStill = [&] {
        const QStringList shown = Shown(*view);
        if (shown.mid(0, expectedStart.size()) != expectedStart)
            return false;
        // Accelerations: a fixed value, the same in the box and its text.
        for (const QString& acc : shown.mid(expectedStart.size()))
            if (acc.size() < 3 || acc.section('|', 0, 0) != acc.section('|', 1, 1))
                return false;
        return true;
    };
    ASSERT_TRUE(test::WaitUntil(showsStill)) << Shown(*view).join(' ').toStdString();
    const QStringList before = Shown(*view);
    // Showing all values (as after each quarter of a read-back) puts back
    // what the boxes show.
    view->ShowAllValues();
    EXPECT_EQ(Shown(*view), before);

    const int lostAt = static_cast<int>(status.texts.size());
    switch (GetParam().loss) {
    // Each loss lasts until the screen has said so.
    case StillRow::Silence:
        sim->FallSilent(sim::DeviceKind::Controller);
        ASSERT_TRUE(WaitFor(kDisconnected));
        sim->EndSilence(sim::DeviceKind::Controller);
        break;
    case StillRow::Unplug:
        sim->Unplug(sim::DeviceKind::Controller);
        ASSERT_TRUE(WaitFor(kDisconnected));
        sim->PlugIn(sim::DeviceKind::Controller);
        break;
    case StillRow::Reopen:
        Click(*view, idc::OpenComPort);
        break;
    }
    ASSERT_TRUE(WaitForFrom(kAllUpdated, lostAt)) << status.texts.join('\n').toStdString();
    EXPECT_TRUE(test::WaitUntil([&] { return Shown(*view) == before; }))
        << Shown(*view).join(' ').toStdString();
    EXPECT_FALSE(view->LiveDisplaysStale());
}

INSTANTIATE_TEST_SUITE_P(Rows, StillGimbal,
                         ::testing::Values(StillRow{"ControllerFellSilent", StillRow::Silence},
                                           StillRow{"ControllerUnplugged", StillRow::Unplug},
                                           StillRow{"PortOpenedAgain", StillRow::Reopen}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qav
