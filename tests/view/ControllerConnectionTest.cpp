// The main screen against the simulated controller on a real
// pseudo-terminal: connecting, reading the configuration back, live
// displays, losing and regaining the link, and the remembered COM entry.
#include "view/UARTView.h"

#include "Simulator.h"
#include "files/SettingsFile.h"
#include "platform/PortMap.h"
#include "ui/ImageBar.h"
#include "view/ControlIds.h"

#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QRegularExpression>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

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
    void StartSim(ControllerParams device)
    {
        // The simulator starts from its flash file: put the wanted set there.
        flash = dir.path() / "flash.bgsc";
        sim::SimulatorConfig config;
        config.controllerCom = kCom;
        config.flashPath = flash.string();
        sim = std::make_unique<sim::Simulator>(config);
        std::string error;
        ASSERT_TRUE(sim::SaveControllerFlash(config.flashPath, device, nullptr));
        ASSERT_TRUE(sim->Start(&error)) << error;
    }

    std::unique_ptr<CUARTView> MakeView()
    {
        auto view = std::make_unique<CUARTView>(params, &status, prompts);
        view->SetStartupDirectory(dir.path().string() + "/");
        view->OnInitialUpdate();
        return view;
    }

    void Click(CUARTView& view, int id) { qobject_cast<QAbstractButton*>(view.Control(id))->click(); }

    bool WaitFor(const QString& message, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return status.texts.contains(message); }, timeoutMs);
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

TEST_F(ControllerConnectionTest, LiveBoxesAndModeBarFollowTelemetry)
{
    StartSim(DeviceSet());
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated));
    const QRegularExpression acc(QStringLiteral("^[+-]\\d+\\.\\d\\d$"));
    const QRegularExpression angle(QStringLiteral("^[+-]\\d+\\.\\d$"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return acc.match(view->Text(idc::AccelZ)).hasMatch(); }, 3000));
    auto* bar = qobject_cast<CImageBar*>(view->Control(idc::RcModeBar));
    ASSERT_NE(bar, nullptr);
    // The bar sits where the mode channel says, 100 up.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return bar->Position() == view->Text(idc::RcMode).toInt() + 100; }, 3000));
    EXPECT_TRUE(angle.match(view->Text(idc::AttitudeRoll)).hasMatch())
        << view->Text(idc::AttitudeRoll).toStdString();
    EXPECT_TRUE(angle.match(view->Text(idc::AttitudeTilt)).hasMatch());
    // The attitude keeps moving (noise at the least).
    const QString first =
        view->Text(idc::AttitudeRoll) + view->Text(idc::AttitudeTilt) + view->Text(idc::AccelX);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return view->Text(idc::AttitudeRoll) + view->Text(idc::AttitudeTilt) + view->Text(idc::AccelX) !=
                   first;
        },
        3000));
}

TEST_F(ControllerConnectionTest, SilentControllerIsLostOnceAndFoundAgain)
{
    StartSim(DeviceSet());
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated));
    sim->FallSilent(sim::DeviceKind::Controller, 1500ms);
    ASSERT_TRUE(WaitFor(kDisconnected, 3000));
    EXPECT_FALSE(view->Enabled(idc::LoadConfig));
    status.texts.clear();
    ASSERT_TRUE(WaitFor(kConnected, 5000));
    EXPECT_TRUE(WaitFor(kAllUpdated, 3000));
    EXPECT_TRUE(view->Enabled(idc::LoadConfig));
    EXPECT_EQ(status.Count(kDisconnected), 0);
}

TEST_F(ControllerConnectionTest, UnpluggedControllerReconnectsWhenItComesBack)
{
    StartSim(DeviceSet());
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    ASSERT_TRUE(WaitFor(kAllUpdated));
    sim->Unplug(sim::DeviceKind::Controller, 1500ms);
    ASSERT_TRUE(WaitFor(kDisconnected, 3000));
    EXPECT_FALSE(view->Enabled(idc::LoadConfig));
    const int lostAt = static_cast<int>(status.texts.size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.texts.lastIndexOf(kConnected) >= lostAt; }, 8000))
        << status.texts.join('\n').toStdString();
    EXPECT_EQ(status.Count(kDisconnected), 1);
}

TEST_F(ControllerConnectionTest, NothingAttachedShowsNothingAndKeepsSending)
{
    // A port with nobody behind it: the screen stays quiet, the frames go out.
    StartSim(DeviceSet());
    sim->FallSilent(sim::DeviceKind::Controller, 5000ms);
    auto view = MakeView();
    Click(*view, idc::OpenComPort);
    QTest::qWait(800);
    EXPECT_EQ(status.texts, QStringList({QString(), kPortOpened}));
    EXPECT_FALSE(view->Enabled(idc::LoadConfig));
    EXPECT_TRUE(view->LinkTimerActive());
    EXPECT_GE(view->Serial().SentTotal(), 20u * 32u);
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

} // namespace
} // namespace qav
