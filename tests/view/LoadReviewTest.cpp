// The review before a configuration file reaches a connected board, on both
// screens: exactly the values a file changes, what it lacks and what is no
// parameter; Cancel sends nothing and a file that changes nothing sends
// nothing, Apply uploads (against the simulated boards, watching every frame
// they hear); the load chooser offers the backups.
#include "view/UARTView.h"

#include "files/ConfigFile.h"
#include "view/ControlIds.h"
#include "view/MotorDialogFixture.h"

#include "gui_support/DriveLink.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "support/ParamsPrinter.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

namespace qav {
namespace {

namespace fs = std::filesystem;
using test::WriteWholeFile;

constexpr std::uint8_t kNothingPending = 0x55;
const QString kAllUpdated = QStringLiteral("$INKblue$All parameters updated!");

// The values the files below are compared with.
ControllerParams Sample()
{
    ControllerParams p;
    p.ROLL_TOTAL = 300, p.PITCH_MIN = -134, p.RECEIVER_TYPE = 9, p.INIT_PITCH = -1350, p.INIT_ROLL = 450;
    p.ROLL_SERVO_REV = -1, p.PITCH_SERVO_REV = 1, p.DEFAULT_MODE = 2;
    return p;
}

// Upload frames (types 1 to 4) in a simulator's log of the frames it heard.
int UploadsHeard(const std::string& log)
{
    std::ifstream in(log);
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        char who[16] = {}, hex[65] = {};
        if (std::sscanf(line.c_str(), "%*d %15s %64s", who, hex) == 2 && std::string(who) == "controller")
            n += IsUploadType(
                static_cast<std::uint8_t>(std::stoi(std::string(hex + 2 * ctl::kType, 2), nullptr, 16)));
    }
    return n;
}

struct ReviewRow
{
    const char* name;
    const char* file; // null: Sample saved with three values changed
    bool connected;
    std::vector<const char*> changed; // keys in file order; empty: no review
    int kept;
    const char* unknown;
    const char* nearest = nullptr; // what the review says the unknown key may have meant
};

TEST(LoadReview, ListsExactlyWhatEachFileChangesAndChangesNothingUnlessApplied)
{
    const ReviewRow rows[] = {
        {"one value", "[PARAMETERS]\nROLL_TOTAL=301\nPITCH_MIN=-134\n", true, {"ROLL_TOTAL"}, 21, nullptr},
        {"spelling, case and an unknown key",
         "[parameters]\nroll_total=0300\nRECEIVER_TYPE=2\nINIT_PITCH=-455\nSPEED=4\nInit_Roll=450\n",
         true,
         {"RECEIVER_TYPE", "INIT_PITCH"},
         19,
         "SPEED"},
        {"a misspelt key",
         "[PARAMETERS]\nROLL_TOTAL=301\nPTICH_MIN=5\n",
         true,
         {"ROLL_TOTAL"},
         22,
         "PTICH_MIN",
         "PTICH_MIN: did you mean PITCH_MIN?"},
        {"a direction as 255 is -1",
         "[PARAMETERS]\nROLL_SERVO_REV=255\nYAW_SERVO_CENTER=5\n",
         true,
         {},
         22,
         nullptr},
        {"the first of two wins", "[PARAMETERS]\nDEFAULT_MODE=2\nDEFAULT_MODE=1\n", true, {}, 22, nullptr},
        {"a whole file", nullptr, true, {"ROLL_MAX", "PITCH_SERVO_REV", "DEFAULT_MODE"}, 0, nullptr},
        {"not connected", "[PARAMETERS]\nROLL_TOTAL=301\n", false, {}, 22, nullptr},
    };
    test::TempDir dir;
    for (const ReviewRow& row : rows) {
        SCOPED_TRACE(row.name);
        ControllerParams params = Sample();
        test::RecordingStatus status;
        test::FakePrompts prompts;
        prompts.applyReview = false;
        CUARTView view(params, &status, prompts);
        view.Link().linkEstablished = row.connected;
        view.OpenMessageGate();
        view.Link().pendingFrameType = kNothingPending;
        const std::string path = dir.File("review.bgsc");
        ControllerParams whole = Sample();
        whole.ROLL_MAX = 40, whole.PITCH_SERVO_REV = -1, whole.DEFAULT_MODE = 1;
        if (row.file)
            WriteWholeFile(path, row.file);
        else
            ASSERT_TRUE(SaveConfig(path, whole));
        view.LoadConfigFile(QString::fromStdString(path));
        if (!row.connected) {
            EXPECT_TRUE(prompts.reviews.isEmpty()); // filled at once, as ever
            EXPECT_EQ(params.ROLL_TOTAL, 301);
            EXPECT_EQ(view.Link().pendingFrameType, kTypeGains);
            continue;
        }
        // Cancelled, or nothing to change: set, screen and link as they were.
        EXPECT_EQ(params, Sample());
        EXPECT_EQ(view.Link().pendingFrameType, kNothingPending);
        EXPECT_TRUE(status.texts.isEmpty());
        EXPECT_EQ(prompts.messages.size(), row.changed.empty() ? 1 : 0);
        ASSERT_EQ(prompts.reviews.size(), row.changed.empty() ? 0 : 1);
        if (row.changed.empty()) {
            EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("changes nothing")));
            continue;
        }
        const LoadReview& review = prompts.reviews[0];
        QStringList keys, expected;
        for (const ReviewedChange& c : review.changes)
            keys << c.key;
        for (const char* k : row.changed)
            expected << k;
        EXPECT_EQ(keys, expected);
        EXPECT_EQ(review.kept.size(), row.kept);
        EXPECT_EQ(review.unknown, row.unknown ? QStringList{row.unknown} : QStringList());
        EXPECT_EQ(review.nearest, row.nearest ? QStringList{row.nearest} : QStringList());
        const ReviewedChange& first = review.changes[0];
        if (first.key == "RECEIVER_TYPE") { // by its screen name, in the screen's terms
            EXPECT_EQ(QStringList({first.name, first.now, first.inFile}),
                      QStringList({"Receiver Type", "9 (DSMX-2)", "2 (Futaba SBUS)"}));
        }
    }
}

// The chooser of "Load Config" offers the backups folder once there is one.
TEST(LoadReview, TheLoadChooserOffersTheBackups)
{
    test::TempDir dir;
    ControllerParams params;
    test::FakePrompts prompts;
    CUARTView view(params, nullptr, prompts);
    view.SetBackupFolder(dir.File("backups"));
    view.OnLoadIniCommand();
    fs::create_directory(dir.File("backups"));
    view.LoadCommand(ConfigFileKind::Bgsc);
    EXPECT_EQ(prompts.filePlaces, (QList<QStringList>{{}, {QString::fromStdString(dir.File("backups"))}}));
}

// Against the simulated controller: every frame it hears is logged, so a
// load that sends nothing is seen to send nothing.
// The main screen connected to the simulated controller, every frame the
// controller hears logged, the backups in a folder of the test's.
class LoadReviewOverSimulator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        config.controllerCom = kCom;
        config.frameLog = dir.File("frames.log");
        sim = std::make_unique<sim::Simulator>(config);
        const Result started = sim->Start();
        ASSERT_TRUE(started) << started.message;
        view = std::make_unique<CUARTView>(params, &status, prompts);
        view->SetBackupFolder(dir.File("backups"));
        view->OnInitialUpdate();
        ASSERT_TRUE(view->ConnectTo(kCom));
        ASSERT_TRUE(test::WaitUntil([&] { return status.texts.contains(kAllUpdated); }));
    }
    void TearDown() override { view.reset(); }

    static constexpr int kCom = 174;
    test::ScopedPortsDir ports;
    test::TempDir dir;
    sim::SimulatorConfig config;
    std::unique_ptr<sim::Simulator> sim;
    ControllerParams params;
    test::RecordingStatus status;
    test::FakePrompts prompts;
    std::unique_ptr<CUARTView> view;
};

TEST_F(LoadReviewOverSimulator, CancelAndAFileThatChangesNothingSendNothingApplyUploads)
{
    // From here on the link is ticked by hand, each tick answered.
    ScreenLink& link = view->PortLink();

    const ControllerParams device = sim->ControllerWorkingParams();
    ControllerParams wanted = device;
    wanted.ROLL_TOTAL = static_cast<std::uint16_t>(device.ROLL_TOTAL + 7);
    wanted.PITCH_MIN = device.PITCH_MIN - 2;
    const std::string path = dir.File("wanted.bgsc");
    ASSERT_TRUE(SaveConfig(path, wanted));
    const auto uploads = [&] { return UploadsHeard(config.frameLog); };
    // Enough frames that anything the load had asked for would have gone.
    const auto letFramesPass = [&] { return test::DriveTicks(link, 25); };
    prompts.applyReview = false;
    view->LoadConfigFile(QString::fromStdString(path));
    ASSERT_EQ(prompts.reviews.size(), 1);
    EXPECT_EQ(prompts.reviews[0].changes.size(), 2);
    ASSERT_TRUE(letFramesPass());
    EXPECT_EQ(uploads(), 0);
    EXPECT_EQ(sim->ControllerWorkingParams(), device);
    EXPECT_EQ(params, device);
    EXPECT_FALSE(fs::exists(dir.File("backups"))); // nothing replaced, nothing kept

    prompts.applyReview = true;
    view->LoadConfigFile(QString::fromStdString(path));
    EXPECT_TRUE(test::DriveLink(link, [&] { return sim->ControllerWorkingParams() == wanted; }));
    ASSERT_TRUE(letFramesPass());
    const int uploaded = uploads();
    EXPECT_GE(uploaded, 4);

    view->LoadConfigFile(QString::fromStdString(path)); // changes nothing now
    EXPECT_EQ(prompts.reviews.size(), 2);
    ASSERT_TRUE(letFramesPass());
    EXPECT_EQ(uploads(), uploaded);
}

// A value typed and not sent is no value of the controller's: the review's
// "now", its count and the backup are the set the controller holds.
TEST_F(LoadReviewOverSimulator, AnUnsentEditIsNeitherReviewedNorBackedUpAsTheControllers)
{
    const ControllerParams device = sim->ControllerWorkingParams();
    ASSERT_NE(device.ROLL_VEL, 95);

    // 95 typed into the roll velocity box, no Return.
    view->Focus(idc::RollVel, false);
    auto* box = qobject_cast<QLineEdit*>(view->Control(idc::RollVel));
    box->clear();
    QTest::keyClicks(box, QStringLiteral("95"));
    ASSERT_EQ(params.ROLL_VEL, 95);

    // The file holds the controller's own roll velocity and one change.
    ControllerParams file = device;
    file.ROLL_TOTAL = static_cast<std::uint16_t>(device.ROLL_TOTAL + 3);
    ASSERT_TRUE(SaveConfig(dir.File("f.bgsc"), file));
    view->LoadConfigFile(QString::fromStdString(dir.File("f.bgsc")));
    ASSERT_EQ(prompts.reviews.size(), 1);
    ASSERT_EQ(prompts.reviews[0].changes.size(), 1);
    EXPECT_EQ(prompts.reviews[0].changes[0].key, QStringLiteral("ROLL_TOTAL"));
    EXPECT_TRUE(status.texts.last().contains(QStringLiteral(" 1 value changed.")))
        << status.texts.last().toStdString();
    std::vector<fs::path> backups;
    for (const auto& e : fs::directory_iterator(dir.File("backups")))
        backups.push_back(e.path());
    ASSERT_EQ(backups.size(), 1u);
    ControllerParams kept;
    ASSERT_TRUE(LoadConfig(backups[0].string(), kept));
    EXPECT_EQ(kept.ROLL_VEL, device.ROLL_VEL);
    EXPECT_EQ(kept.ROLL_TOTAL, device.ROLL_TOTAL);
}

// A backup that cannot be written asks first; "No" leaves the set alone and
// "Yes" loads without it. The question names whose set it would have kept.
TEST_F(LoadReviewOverSimulator, AFailedBackupAsksBeforeTheControllersSetIsReplaced)
{
    WriteWholeFile(dir.File("backups"), "a file where the folder would be");
    const ControllerParams device = sim->ControllerWorkingParams();
    ControllerParams file = device;
    file.ROLL_TOTAL = static_cast<std::uint16_t>(device.ROLL_TOTAL + 5);
    ASSERT_TRUE(SaveConfig(dir.File("f.bgsc"), file));
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        prompts.messages.clear();
        prompts.answerYes = yes;
        view->LoadConfigFile(QString::fromStdString(dir.File("f.bgsc")));
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages[0].text.endsWith(
            QStringLiteral(" Load the file without a backup of the controller's set?")))
            << prompts.messages[0].text.toStdString();
        EXPECT_EQ(params.ROLL_TOTAL, yes ? file.ROLL_TOTAL : device.ROLL_TOTAL);
    }
}

using MotorLoadReview = test::MotorDialogFixture;

TEST_F(MotorLoadReview, CancelSendsNothingApplyUploads)
{
    StartSim();
    MakeDialog();
    Connect();
    const MotorParams board = sim->MotorWorkingParams();
    MotorParams wanted = board;
    wanted.POW_MOTOR2 = static_cast<std::uint8_t>(board.POW_MOTOR2 == 60 ? 61 : 60);
    const std::string path = dir.File("wanted.bmc");
    ASSERT_TRUE(SaveConfig(path, wanted));
    prompts.applyReview = false;
    dlg->LoadMotorConfigFile(QString::fromStdString(path));
    ASSERT_EQ(prompts.reviews.size(), 1);
    EXPECT_EQ(prompts.reviews[0].changes[0].name, "Tilting motor > Power");
    ASSERT_TRUE(DriveTicks(20));
    EXPECT_EQ(sim->MotorWorkingParams(), board);
    prompts.applyReview = true;
    dlg->LoadMotorConfigFile(QString::fromStdString(path));
    EXPECT_TRUE(Drive([&] { return sim->MotorWorkingParams() == wanted; }));
}

// The same in the motor dialog: a power typed and not sent is neither
// reviewed nor kept as the board's.
TEST_F(MotorLoadReview, AnUnsentEditIsNeitherReviewedNorBackedUpAsTheBoards)
{
    StartSim();
    MakeDialog();
    Connect();
    const MotorParams board = sim->MotorWorkingParams();
    const int typed = board.POW_MOTOR1 == 95 ? 94 : 95;
    Type(mdc::PowMotor1, QString::number(typed));
    ASSERT_EQ(params.POW_MOTOR1, typed);
    MotorParams file = board;
    file.POW_MOTOR2 = static_cast<std::uint8_t>(board.POW_MOTOR2 == 60 ? 61 : 60);
    ASSERT_TRUE(SaveConfig(dir.File("f.bmc"), file));
    test::ScopedEnv data("XDG_DATA_HOME", dir.File("data").c_str());
    dlg->LoadMotorConfigFile(QString::fromStdString(dir.File("f.bmc")));
    ASSERT_EQ(prompts.reviews.size(), 1);
    ASSERT_EQ(prompts.reviews[0].changes.size(), 1);
    EXPECT_EQ(prompts.reviews[0].changes[0].key, QStringLiteral("POW_MOTOR2"));
    EXPECT_TRUE(Text(mdc::Status).contains(QStringLiteral(" 1 value changed."))) << Log();
    std::vector<fs::path> backups;
    for (const auto& e : fs::recursive_directory_iterator(dir.File("data")))
        if (e.path().extension() == ".bmc")
            backups.push_back(e.path());
    ASSERT_EQ(backups.size(), 1u);
    MotorParams kept;
    ASSERT_TRUE(LoadConfig(backups[0].string(), kept));
    EXPECT_EQ(kept.POW_MOTOR1, board.POW_MOTOR1);
    EXPECT_EQ(kept.POW_MOTOR2, board.POW_MOTOR2);
}

TEST_F(MotorLoadReview, AFailedBackupAsksBeforeTheBoardsSetIsReplaced)
{
    StartSim();
    MakeDialog();
    Connect();
    test::ScopedEnv data("XDG_DATA_HOME", dir.File("data").c_str());
    fs::create_directory(dir.File("data"));
    WriteWholeFile(dir.File("data/qav-nuva"), "a file where the folder would be");
    const MotorParams board = sim->MotorWorkingParams();
    MotorParams file = board;
    file.POW_MOTOR2 = static_cast<std::uint8_t>(board.POW_MOTOR2 == 60 ? 61 : 60);
    ASSERT_TRUE(SaveConfig(dir.File("f.bmc"), file));
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        prompts.messages.clear();
        prompts.answerYes = yes;
        dlg->LoadMotorConfigFile(QString::fromStdString(dir.File("f.bmc")));
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages[0].text.endsWith(
            QStringLiteral(" Load the file without a backup of the board's set?")))
            << prompts.messages[0].text.toStdString();
        EXPECT_EQ(params.POW_MOTOR2, yes ? file.POW_MOTOR2 : board.POW_MOTOR2);
    }
}

// The motor dialog's "Changes not written to flash" follows what the board
// holds against what its flash keeps, across dialogs made anew, as the main
// screen's does across a reopen.
TEST_F(MotorLoadReview, UnflashedMarkFollowsWhatTheBoardHoldsAgainstItsFlash)
{
    StartSim();
    std::optional<MotorParams> flashSet; // the program's, outliving each dialog
    const auto open = [&] {
        dlg.reset();
        dlg = std::make_unique<CMotorConfigDlg>(params, receiver, prompts, dir.path().string() + "/", nullptr,
                                                0, nullptr, &flashSet);
        QObject::connect(Box(mdc::Status), &QLineEdit::textChanged,
                         [this](const QString& t) { statuses << t; });
        ASSERT_TRUE(test::ShowActive(dlg.get()));
        Connect();
    };
    const auto send = [&](int power) {
        Type(mdc::PowMotor1, QString::number(power));
        Enter(mdc::PowMotor1);
    };
    open();
    EXPECT_FALSE(dlg->HasUnflashedChanges());
    const int flashed = sim->MotorFlashParams().POW_MOTOR1;
    struct Step
    {
        const char* what;
        std::function<void()> act;
        bool marked;
    };
    const Step steps[] = {
        {"a write the board takes", [&] { send(flashed == 70 ? 71 : 70); }, true},
        {"a flash write", [&] { Click(mdc::WriteSettingsToFlash); }, false},
        {"another write", [&] { send(72); }, true},
        {"the dialog made anew: the board still holds it", open, true},
        {"the board restarted, the dialog made anew",
         [&] {
             sim->Reset(sim::DeviceKind::Motor);
             open();
         },
         false},
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.what);
        st.act();
        EXPECT_TRUE(Drive([&] { return dlg->HasUnflashedChanges() == st.marked; })) << Log();
    }
}

} // namespace
} // namespace qav
