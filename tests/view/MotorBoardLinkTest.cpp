// The motor dialog against the simulated motor board on a real
// pseudo-terminal: connecting, the parameter report, live voltage and
// current, sending with Enter, writing to flash (also refused and retried),
// losing and regaining the board, and configuration files reaching it.
#include "files/Backups.h"
#include "view/MotorDialogFixture.h"

#include "files/ConfigFile.h"
#include "support/ParamsPrinter.h"

#include <QRegularExpression>

namespace qav {
namespace {

using namespace std::chrono_literals;
using test::kMotorCom;

class MotorBoardLinkTest : public test::MotorDialogFixture
{
};

TEST_F(MotorBoardLinkTest, OpensReadsTheParametersAndShowsVoltageAndCurrentLive)
{
    StartSim();
    MakeDialog();
    ASSERT_TRUE(dlg->Form().ItemText(mdc::ComList, 0).startsWith(QStringLiteral("COM172 ")));
    EXPECT_EQ(dlg->ComPortNumber(), kMotorCom);
    Connect();
    EXPECT_EQ(statuses.mid(0, 2), QStringList({QStringLiteral("Please connect to motor port!"),
                                               QStringLiteral("Motor connected successfully!")}));
    EXPECT_EQ(statuses.back(), QStringLiteral("Motor parameters updated!"));
    EXPECT_EQ(Text(mdc::PolMotor1), QStringLiteral("14"));
    EXPECT_EQ(Text(mdc::PowMotor1), QStringLiteral("80"));
    EXPECT_EQ(Text(mdc::PolMotor2), QStringLiteral("14"));
    EXPECT_EQ(Text(mdc::PowMotor2), QStringLiteral("60"));
    EXPECT_EQ(params, (MotorParams{14, 80, 14, 60, 0, 0}));
    EXPECT_EQ(Text(mdc::FirmwareVersion), QStringLiteral("Firmware Version:V1.5"));
    EXPECT_TRUE(dlg->Form().Enabled(mdc::LoadConfig));

    // Live values, three decimals, near the simulated 11.7 V supply, moving.
    const QRegularExpression threeDecimals(QStringLiteral("^\\d+\\.\\d{3}$"));
    ASSERT_TRUE(test::WaitUntil([&] { return threeDecimals.match(Text(mdc::Current)).hasMatch(); }));
    EXPECT_NEAR(Text(mdc::Voltage).toDouble(), 11.7, 0.3);
    EXPECT_GT(Text(mdc::Current).toDouble(), 0.4);
    const QString first = Text(mdc::Voltage) + Text(mdc::Current);
    EXPECT_TRUE(test::WaitUntil([&] { return Text(mdc::Voltage) + Text(mdc::Current) != first; }));
    EXPECT_EQ(dlg->Engine().State().command, kMotorCmdMonitor);
}

TEST_F(MotorBoardLinkTest, EnterSendsTheTypedValuesWithCommandOne)
{
    StartSim();
    MakeDialog();
    Connect();
    Type(mdc::PolMotor1, QStringLiteral("22"));
    Type(mdc::PowMotor2, QStringLiteral("150")); // limited at once
    EXPECT_EQ(Text(mdc::PowMotor2), QStringLiteral("100"));
    EXPECT_EQ(statuses.back(), QStringLiteral("input(0-100), push 'return' key!"));
    // Typing alone sends nothing: answers keep coming, the board's value stays.
    ASSERT_TRUE(DriveTicks(10));
    EXPECT_EQ(sim->MotorWorkingParams().POL_MOTOR1, 14);

    Enter(mdc::PowMotor2);
    EXPECT_EQ(statuses.back(), QStringLiteral("Motor parameters uploaded!"));
    EXPECT_TRUE(dlg->isVisible()); // Enter never closes the dialog
    ASSERT_TRUE(Drive([&] { return sim->MotorWorkingParams().POL_MOTOR1 == 22; }));
    const MotorParams board = sim->MotorWorkingParams();
    EXPECT_EQ(board.POW_MOTOR1, 80);
    EXPECT_EQ(board.POW_MOTOR2, 100);
    EXPECT_EQ(sim->MotorFlashParams().POL_MOTOR1, 14); // not stored in flash
    // Back to monitoring once the board took them.
    EXPECT_TRUE(Drive([&] { return dlg->Engine().State().command == kMotorCmdMonitor; }));
    EXPECT_EQ(params.DIR_MOTOR1, 0x01); // unchecked direction boxes
}

TEST_F(MotorBoardLinkTest, FlashWriteSucceedsAtOnce)
{
    StartSim();
    MakeDialog();
    Connect();
    Type(mdc::PolMotor2, QStringLiteral("28"));
    Click(mdc::WriteSettingsToFlash);
    EXPECT_EQ(statuses.back(), QStringLiteral("Writting setting to flash..."));
    ASSERT_TRUE(Drive([&] { return statuses.contains(QStringLiteral("Write flash successfully!")); })) << Log();
    EXPECT_EQ(sim->MotorFlashParams().POL_MOTOR2, 28);
    EXPECT_FALSE(dlg->Engine().State().flashPending);
    EXPECT_EQ(statuses.count(QStringLiteral("Write flash failed!")), 0);
}

TEST_F(MotorBoardLinkTest, RefusedFlashWriteIsRetriedUntilStored)
{
    StartSim(3);
    MakeDialog();
    Connect();
    Type(mdc::PowMotor1, QStringLiteral("55"));
    Click(mdc::WriteSettingsToFlash);
    // Each refusal is answered by a new attempt only while the link holds.
    ASSERT_TRUE(Drive([&] { return statuses.contains(QStringLiteral("Write flash successfully!")); })) << Log();
    // The box shows each refusal; repeats of one text are one change of it.
    const qsizetype failed = statuses.indexOf(QStringLiteral("Write flash failed!"));
    ASSERT_GE(failed, 0) << Log();
    EXPECT_GT(statuses.indexOf(QStringLiteral("Write flash successfully!")), failed);
    // The board refused three writes, so storing took a fourth attempt.
    EXPECT_EQ(sim->MotorFlashParams().POW_MOTOR1, 55);
}

struct LossRow
{
    const char* name;
    bool unplug; // else the board only falls silent
    friend void PrintTo(const LossRow& row, std::ostream* os) { *os << row.name; }
};

class MotorBoardLossTest : public MotorBoardLinkTest, public testing::WithParamInterface<LossRow>
{
};

TEST_P(MotorBoardLossTest, LossIsReportedOnceAndTheBoardIsFoundAgain)
{
    StartSim();
    MakeDialog();
    Connect();
    // Gone until the dialog has said so.
    if (GetParam().unplug)
        sim->Unplug(sim::DeviceKind::Motor);
    else
        sim->FallSilent(sim::DeviceKind::Motor);
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Motor disconnected!"))) << Log();
    EXPECT_FALSE(dlg->Form().Enabled(mdc::LoadConfig));
    const auto lostAt = statuses.size();
    if (GetParam().unplug)
        sim->PlugIn(sim::DeviceKind::Motor);
    else
        sim->EndSilence(sim::DeviceKind::Motor);
    ASSERT_TRUE(WaitForStatusFrom(QStringLiteral("Motor connected successfully!"), lostAt)) << Log();
    EXPECT_TRUE(WaitForStatus(QStringLiteral("Motor parameters updated!")));
    EXPECT_EQ(statuses.count(QStringLiteral("Motor disconnected!")), 1);
    EXPECT_TRUE(dlg->Form().Enabled(mdc::LoadConfig));
}

INSTANTIATE_TEST_SUITE_P(Rows, MotorBoardLossTest,
                         testing::Values(LossRow{"silent", false}, LossRow{"unplugged", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MotorBoardLinkTest, SavedFileChangedOnDiskAndLoadedReachesTheBoard)
{
    StartSim();
    MakeDialog();
    Connect();
    const std::string path = dir.File("board.bmc");
    prompts.savePath = QString::fromStdString(path);
    Click(mdc::SaveConfig);
    EXPECT_EQ(prompts.fileTitles.back(), QStringLiteral("Save config file"));
    EXPECT_EQ(prompts.fileFilters.back(), QStringLiteral("Config File (*.bmc)"));
    EXPECT_EQ(prompts.saveSuffixes.back(), QStringLiteral("bmc"));
    EXPECT_TRUE(prompts.saveConfirmsOverwrite.back());
    EXPECT_EQ(test::ReadWholeFile(path),
              "[MOTOR_PARAMETERS]\nPOL_MOTOR1=14\nPOW_MOTOR1=80\nPOL_MOTOR2=14\nPOW_MOTOR2=60\n");

    test::WriteWholeFile(path, "[MOTOR_PARAMETERS]\nPOL_MOTOR1=24\nPOW_MOTOR1=150\nPOL_MOTOR2=300\n"
                               "POW_MOTOR2=x\n");
    prompts.openPath = QString::fromStdString(path);
    Click(mdc::LoadConfig);
    EXPECT_EQ(prompts.fileTitles.back(), QStringLiteral("Load config file"));
    // Four values changed; the board's set was kept first.
    EXPECT_TRUE(statuses.back().startsWith(
        QStringLiteral("Config file uploaded successfully! 4 values changed. Previous set kept in ")))
        << statuses.back().toStdString();
    std::filesystem::path newest;
    for (const auto& e : std::filesystem::directory_iterator(DefaultBackupFolder()))
        if (e.path().extension() == ".bmc" && e.path().filename() > newest.filename())
            newest = e.path();
    ASSERT_FALSE(newest.empty());
    EXPECT_EQ(test::ReadWholeFile(newest.string()),
              "[MOTOR_PARAMETERS]\nPOL_MOTOR1=14\nPOW_MOTOR1=80\nPOL_MOTOR2=14\nPOW_MOTOR2=60\n");
    EXPECT_EQ(Text(mdc::PolMotor1), QStringLiteral("24"));
    EXPECT_EQ(Text(mdc::PowMotor1), QStringLiteral("100"));
    EXPECT_EQ(Text(mdc::PolMotor2), QStringLiteral("44"));
    EXPECT_EQ(Text(mdc::PowMotor2), QStringLiteral("0"));
    EXPECT_EQ(params, (MotorParams{24, 100, 44, 0, 0, 0}));
    ASSERT_TRUE(Drive([&] { return sim->MotorWorkingParams().POL_MOTOR1 == 24; }));
    EXPECT_EQ(sim->MotorWorkingParams(), (MotorParams{24, 100, 44, 0, 0x01, 0x01}));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

// A value typed and left (Tab) is marked as not sent until a frame carries
// it to the board or the board's own value replaces it.
struct UnsentRow
{
    const char* name;
    enum { Return, Flash, BoardReport } ends;
    int boardHolds; // POL_MOTOR1 on the board afterwards
    friend void PrintTo(const UnsentRow& row, std::ostream* os) { *os << row.name; }
};

class UnsentValue : public MotorBoardLinkTest, public testing::WithParamInterface<UnsentRow>
{
};

TEST_P(UnsentValue, IsMarkedUntilSentOrReplaced)
{
    const UnsentRow row = GetParam();
    StartSim();
    MakeDialog();
    Connect();
    Type(mdc::PolMotor1, QStringLiteral("22"));
    QTest::keyClick(Box(mdc::PolMotor1), Qt::Key_Tab);
    ASSERT_NE(dlg->Form().FocusedId(), mdc::PolMotor1);
    QWidget* typed = dlg->Form().Control(mdc::PolMotor1);
    // The mark leads the tip; what the box stands for follows it.
    const QString tip = typed->toolTip().section(QLatin1Char('\n'), 1);
    auto marked = [&](int id) {
        QWidget* box = dlg->Form().Control(id);
        const QString expected = CMotorConfigDlg::UnsentText() + QLatin1Char('\n') + tip;
        return dlg->Unsent(id) && box->property("unsent").toBool() && box->toolTip() == expected &&
               box->accessibleDescription() == expected;
    };
    EXPECT_TRUE(marked(mdc::PolMotor1));
    EXPECT_TRUE(tip.contains(QStringLiteral("Key: POL_MOTOR1."))) << tip.toStdString();
    for (int other : {mdc::PowMotor1, mdc::PolMotor2, mdc::PowMotor2}) {
        EXPECT_FALSE(dlg->Unsent(other)) << other;
        EXPECT_FALSE(dlg->Form().Control(other)->toolTip().startsWith(CMotorConfigDlg::UnsentText()))
            << other;
    }
    // Answers keep coming and the value stays where it is.
    ASSERT_TRUE(DriveTicks(10));
    EXPECT_TRUE(marked(mdc::PolMotor1));
    EXPECT_EQ(sim->MotorWorkingParams().POL_MOTOR1, 14);

    const qsizetype from = statuses.size();
    switch (row.ends) {
    case UnsentRow::Return:
        Enter(mdc::PowMotor2); // Return in any of the four sends them all
        break;
    case UnsentRow::Flash:
        Click(mdc::WriteSettingsToFlash);
        break;
    case UnsentRow::BoardReport:
        Click(mdc::OpenComPort);
        ASSERT_TRUE(Drive([&] { return statuses.lastIndexOf(QStringLiteral("Motor parameters updated!")) >= from; }))
            << Log();
        EXPECT_EQ(Text(mdc::PolMotor1), QStringLiteral("14"));
        break;
    }
    ASSERT_TRUE(Drive([&] { return !dlg->Unsent(mdc::PolMotor1); }));
    EXPECT_FALSE(typed->property("unsent").toBool());
    EXPECT_EQ(typed->toolTip(), tip);
    EXPECT_EQ(typed->accessibleDescription(), tip);
    EXPECT_TRUE(Drive([&] { return sim->MotorWorkingParams().POL_MOTOR1 == row.boardHolds; }));
}

INSTANTIATE_TEST_SUITE_P(Rows, UnsentValue,
                         testing::Values(UnsentRow{"Return", UnsentRow::Return, 22},
                                         UnsentRow{"WriteSettingsToFlash", UnsentRow::Flash, 22},
                                         UnsentRow{"BoardReportReplacesIt", UnsentRow::BoardReport, 14}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qav
