// Both screens on a line that gives back what they send, against the
// simulator on a real pseudo-terminal: with nothing behind the echo the link
// never comes up and the screen says the port echoes, after what it shows
// there; with a board behind the echo, or answering 100 ms late, the screens
// work as on a clean line.
#include "view/MotorDialogFixture.h"
#include "view/UARTView.h"

#include "view/ControlIds.h"

#include "gui_support/RecordingStatus.h"

#include <QRegularExpression>

#include <array>

namespace qav {
namespace {

using namespace std::chrono_literals;

constexpr int kControllerCom = 254;
const QString kPortOpened = QStringLiteral("$INKblue$COM port open successfully, please connect QAV-NUVA!");
const QString kAllUpdated = QStringLiteral("$INKblue$All parameters updated!");
const QString kDisconnected = QStringLiteral("$INKred$QAV-NUVA disconnected!");

bool SaysEchoes(const QStringList& texts)
{
    return texts.indexOf(QRegularExpression(QStringLiteral("echoes what is sent"))) >= 0;
}

struct LineRow
{
    const char* name;
    bool echo;
    std::chrono::milliseconds delay;
};

const LineRow kLines[] = {
    {"echo", true, 0ms},
    {"slow", false, 100ms},
    {"slow_echo", true, 100ms},
};

std::string RowName(const testing::TestParamInfo<LineRow>& info)
{
    return info.param.name;
}

// ---- the main screen ---------------------------------------------------------------

class MainScreenEchoTest : public testing::Test
{
protected:
    void StartSim(const sim::SimFaults& faults)
    {
        sim::SimulatorConfig config;
        config.controllerCom = kControllerCom;
        config.faults = faults;
        sim = std::make_unique<sim::Simulator>(config);
        const Result started = sim->Start();
        ASSERT_TRUE(started) << started.message;
    }
    void Open()
    {
        view = std::make_unique<CUARTView>(params, &status, prompts);
        view->SetStartupDirectory(dir.path().string() + "/");
        view->OnInitialUpdate();
        ASSERT_EQ(view->ComPortNumber(), kControllerCom);
        qobject_cast<QAbstractButton*>(view->Control(idc::OpenComPort))->click();
    }
    std::string Log() const { return status.texts.join('\n').toStdString(); }

    test::ScopedPortsDir ports;
    test::TempDir dir;
    std::unique_ptr<sim::Simulator> sim;
    ControllerParams params;
    test::RecordingStatus status;
    test::FakePrompts prompts;
    std::unique_ptr<CUARTView> view;
};

TEST_F(MainScreenEchoTest, OnlyAnEchoNeverConnectsAndSaysThePortEchoes)
{
    sim::SimFaults faults;
    faults.echoOnly = true;
    StartSim(faults);
    params.ROLL_TOTAL = 77; // an echoed read-back would put zeros here
    Open();
    ASSERT_TRUE(test::DriveEchoedTicks(view->PortLink(), int(ControllerLink::kWatchdogLimit) + 1));
    EXPECT_EQ(status.texts.back(),
              kPortOpened + QStringLiteral(" $INKred$COM254 echoes what is sent: check the wiring"))
        << Log();
    EXPECT_FALSE(view->Link().linkEstablished);
    EXPECT_EQ(params.ROLL_TOTAL, 77);
    EXPECT_FALSE(view->Enabled(idc::LoadConfig));
}

class MainScreenLineTest : public MainScreenEchoTest, public testing::WithParamInterface<LineRow>
{
};

TEST_P(MainScreenLineTest, ReadsTheControllersSetAsOnACleanLine)
{
    sim::SimFaults faults;
    faults.echo = GetParam().echo;
    faults.answerDelay = GetParam().delay;
    StartSim(faults);
    Open();
    ASSERT_TRUE(test::WaitUntil([&] { return status.texts.contains(kAllUpdated); })) << Log();
    const ControllerParams device = sim->ControllerWorkingParams();
    EXPECT_EQ(params.ROLL_TOTAL, device.ROLL_TOTAL);
    EXPECT_EQ(params.INIT_PITCH, device.INIT_PITCH);
    EXPECT_EQ(params.YAW_VEL, device.YAW_VEL);
    EXPECT_EQ(params.DEFAULT_MODE, device.DEFAULT_MODE);
    EXPECT_TRUE(view->Enabled(idc::LoadConfig));
    EXPECT_FALSE(SaysEchoes(status.texts)) << Log();
    EXPECT_FALSE(status.texts.contains(kDisconnected)) << Log();
}

INSTANTIATE_TEST_SUITE_P(Lines, MainScreenLineTest, testing::ValuesIn(kLines), RowName);

// ---- the motor dialog ----------------------------------------------------------------

class MotorDialogEchoTest : public test::MotorDialogFixture
{
};

TEST_F(MotorDialogEchoTest, OnlyAnEchoNeverConnectsAndSaysThePortEchoes)
{
    faults.echoOnly = true;
    StartSim();
    MakeDialog();
    const MotorParams before = params;
    Click(mdc::OpenComPort);
    ASSERT_TRUE(test::DriveEchoedTicks(dlg->PortLink(), MotorLink::kMissLimit + 1));
    EXPECT_EQ(statuses.back(),
              QStringLiteral("Please connect to motor port! COM172 echoes what is sent: check the wiring"))
        << Log();
    EXPECT_FALSE(dlg->Engine().State().motorConnected);
    EXPECT_EQ(params, before);
    EXPECT_FALSE(dlg->Form().Enabled(mdc::LoadConfig));
}

class MotorDialogLineTest : public test::MotorDialogFixture, public testing::WithParamInterface<LineRow>
{
};

TEST_P(MotorDialogLineTest, ReadsAndStoresAsOnACleanLine)
{
    faults.echo = GetParam().echo;
    faults.answerDelay = GetParam().delay;
    StartSim();
    MakeDialog();
    Connect();
    EXPECT_EQ(params.POW_MOTOR1, sim->MotorWorkingParams().POW_MOTOR1);
    // Typed right after the first report: on a slow line the reports that
    // answer the read requests sent before it are still on their way, and
    // none of them may put the board's values back into the boxes.
    const std::pair<int, const char*> typed[] = {
        {mdc::PolMotor1, "12"}, {mdc::PowMotor1, "50"}, {mdc::PolMotor2, "14"}, {mdc::PowMotor2, "40"}};
    for (const auto& [box, text] : typed)
        Type(box, QString::fromLatin1(text));
    // Every late report has come once the first monitor reply is in.
    ASSERT_TRUE(test::WaitUntil([&] { return Text(mdc::Voltage) != QStringLiteral("0"); }));
    for (const auto& [box, text] : typed)
        EXPECT_EQ(Text(box), QString::fromLatin1(text)) << box;
    EXPECT_EQ(statuses.count(QStringLiteral("Motor parameters updated!")), 1) << Log();
    Click(mdc::WriteSettingsToFlash);
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Write flash successfully!"))) << Log();
    const MotorParams flash = sim->MotorFlashParams();
    EXPECT_EQ((std::array<int, 4>{flash.POL_MOTOR1, flash.POW_MOTOR1, flash.POL_MOTOR2, flash.POW_MOTOR2}),
              (std::array<int, 4>{12, 50, 14, 40}));
    EXPECT_FALSE(SaysEchoes(statuses)) << Log();
    EXPECT_FALSE(statuses.contains(QStringLiteral("Motor disconnected!"))) << Log();
}

INSTANTIATE_TEST_SUITE_P(Lines, MotorDialogLineTest, testing::ValuesIn(kLines), RowName);

} // namespace
} // namespace qav
