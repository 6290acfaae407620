// The review before a configuration file reaches a connected board, on both
// screens: exactly the values a file changes, what it lacks and what is no
// parameter; Cancel sends nothing and a file that changes nothing sends
// nothing, Apply uploads (against the simulated boards, watching every frame
// they hear); the load chooser offers the backups.
#include "view/UARTView.h"

#include "files/ControllerConfigFile.h"
#include "motor/MotorConfigFile.h"
#include "view/ControlIds.h"
#include "view/MotorDialogFixture.h"

#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "support/ParamsPrinter.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace qav {
namespace {

namespace fs = std::filesystem;
using test::WriteWholeFile;

constexpr std::uint8_t kNothingPending = 0x55;
const QString kAllUpdated = QStringLiteral("$INKblue$All parameters updated!");

ControllerParams Sample()
{
    ControllerParams p;
    p.ROLL_ACC = 11, p.ROLL_TOTAL = 300, p.ROLL_VEL = 12, p.ROLL_INT = 13;
    p.PITCH_ACC = 14, p.PITCH_TOTAL = 480, p.PITCH_VEL = 15, p.PITCH_INT = 16;
    p.ROLL_MAX = 44, p.ROLL_MIN = -44, p.PITCH_MAX = 90, p.PITCH_MIN = -134;
    p.ROLL_SERVO_CENTER = -500, p.PITCH_SERVO_CENTER = 250, p.YAW_SERVO_CENTER = 17;
    p.ROLL_SERVO_REV = -1, p.PITCH_SERVO_REV = 1;
    p.ROLL_RC_ACC = 80, p.PITCH_RC_ACC = 50, p.INSTALL_MODE = 3, p.RECEIVER_TYPE = 9;
    p.INIT_PITCH = -1350, p.INIT_ROLL = 450, p.DEFAULT_MODE = 2;
    return p;
}

// Frames of `device` a simulator heard whose byte `at` lies in [low, high].
int FramesHeard(const std::string& log, const std::string& device, std::size_t at, int low, int high)
{
    std::ifstream in(log);
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        long long t = 0;
        char who[16] = {}, hex[65] = {};
        if (std::sscanf(line.c_str(), "%lld %15s %64s", &t, who, hex) != 3 || device != who)
            continue;
        const int byte = std::stoi(std::string(hex + 2 * at, 2), nullptr, 16);
        n += byte >= low && byte <= high;
    }
    return n;
}

struct ReviewRow
{
    const char* name;
    const char* file;
    std::vector<const char*> changed; // keys, in file order; empty: the file changes nothing
    int kept;
    std::vector<const char*> unknown;
};

TEST(LoadReview, ListsExactlyWhatEachFileChanges)
{
    const ReviewRow rows[] = {
        {"one value", "[PARAMETERS]\nROLL_TOTAL=301\nPITCH_MIN=-134\n", {"ROLL_TOTAL"}, 21, {}},
        {"spelling and case do not count",
         "[parameters]\nroll_total=0300\nRECEIVER_TYPE=2\nINIT_PITCH=-455\nSPEED=4\nInit_Roll=450\n",
         {"RECEIVER_TYPE", "INIT_PITCH"},
         19,
         {"SPEED"}},
        {"a direction as 255 is -1", "[PARAMETERS]\nROLL_SERVO_REV=255\nYAW_SERVO_CENTER=5\n", {}, 22, {}},
        {"first of two wins", "[PARAMETERS]\nDEFAULT_MODE=2\nDEFAULT_MODE=1\nROLL_MAX=44\n", {}, 21, {}},
        {"a whole file", nullptr, {"ROLL_MAX", "PITCH_SERVO_REV", "DEFAULT_MODE"}, 0, {}},
    };
    test::TempDir dir;
    for (const ReviewRow& row : rows) {
        SCOPED_TRACE(row.name);
        ControllerParams params = Sample();
        test::RecordingStatus status;
        test::FakePrompts prompts;
        prompts.applyReview = false;
        CUARTView view(params, &status, prompts);
        view.OnInitialUpdate();
        view.Link().linkEstablished = true;
        view.OpenMessageGate();
        view.Link().pendingFrameType = kNothingPending;
        const std::string path = dir.File("review.bgsc");
        if (row.file) {
            WriteWholeFile(path, row.file);
        } else {
            ControllerParams file = Sample();
            file.ROLL_MAX = 40, file.PITCH_SERVO_REV = -1, file.DEFAULT_MODE = 1;
            ASSERT_TRUE(SaveControllerConfig(path, file));
        }
        view.LoadConfigFile(QString::fromStdString(path));

        // Cancelled, or nothing to change: the set, the screen and the link
        // are as they were.
        EXPECT_EQ(params, Sample());
        EXPECT_EQ(view.Link().pendingFrameType, kNothingPending);
        EXPECT_TRUE(status.texts.isEmpty()) << status.texts.join('\n').toStdString();
        if (row.changed.empty()) {
            EXPECT_TRUE(prompts.reviews.isEmpty());
            ASSERT_EQ(prompts.messages.size(), 1);
            EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("changes nothing")));
            continue;
        }
        ASSERT_EQ(prompts.reviews.size(), 1);
        const LoadReview& review = prompts.reviews[0];
        QStringList keys, expected;
        for (const ReviewedChange& c : review.changes)
            keys << c.key;
        for (const char* k : row.changed)
            expected << k;
        EXPECT_EQ(keys, expected);
        EXPECT_EQ(review.kept.size(), row.kept);
        QStringList unknown;
        for (const char* k : row.unknown)
            unknown << k;
        EXPECT_EQ(review.unknown, unknown);
        EXPECT_EQ(review.file, QString::fromStdString(path));
        EXPECT_EQ(review.board, "controller");
    }
}

TEST(LoadReview, ShowsEachChangeByItsKeyAndScreenNameInTheScreensTerms)
{
    test::TempDir dir;
    ControllerParams params = Sample();
    test::FakePrompts prompts;
    prompts.applyReview = false;
    CUARTView view(params, nullptr, prompts);
    view.Link().linkEstablished = true;
    WriteWholeFile(dir.File("r.bgsc"), "[PARAMETERS]\nRECEIVER_TYPE=2\nINIT_PITCH=-455\nROLL_TOTAL=7\n");
    view.LoadConfigFile(QString::fromStdString(dir.File("r.bgsc")));
    ASSERT_EQ(prompts.reviews.size(), 1);
    const QList<ReviewedChange> expected = {
        {"ROLL_TOTAL", "Roll Setting > Total Gain", "300", "7"},
        {"RECEIVER_TYPE", "Receiver Type", "9 (DSMX-2)", "2 (Futaba SBUS)"},
        {"INIT_PITCH", "Tilt Setting > Init Tilt Angle", "-1350 (-135 on screen)", "-455 (-45.5 on screen)"},
    };
    const QList<ReviewedChange>& changes = prompts.reviews[0].changes;
    ASSERT_EQ(changes.size(), expected.size());
    for (int i = 0; i < changes.size(); ++i) {
        EXPECT_EQ(changes[i].key, expected[i].key);
        EXPECT_EQ(changes[i].name, expected[i].name);
        EXPECT_EQ(changes[i].now, expected[i].now);
        EXPECT_EQ(changes[i].inFile, expected[i].inFile);
    }
    // Not connected: no review, the screen is filled as before.
    view.Link().linkEstablished = false;
    view.LoadConfigFile(QString::fromStdString(dir.File("r.bgsc")));
    EXPECT_EQ(prompts.reviews.size(), 1);
    EXPECT_EQ(params.RECEIVER_TYPE, 2);
    EXPECT_EQ(view.Text(idc::InitTiltAngle), "-45.5");
    EXPECT_EQ(view.Link().pendingFrameType, kTypeGains);
}

// The chooser of "Load Config" offers the backups folder once there is one.
TEST(LoadReview, TheLoadChooserOffersTheBackups)
{
    test::TempDir dir;
    ControllerParams params;
    test::FakePrompts prompts;
    CUARTView view(params, nullptr, prompts);
    view.OnInitialUpdate();
    view.Enable(idc::LoadConfig, true);
    const std::string backups = dir.File("backups");
    view.SetBackupFolder(backups);
    for (const bool there : {false, true}) {
        if (there)
            fs::create_directory(backups);
        qobject_cast<QAbstractButton*>(view.Control(idc::LoadConfig))->click();
        ASSERT_FALSE(prompts.filePlaces.isEmpty());
        EXPECT_EQ(prompts.filePlaces.last(),
                  there ? QStringList{QString::fromStdString(backups)} : QStringList()) << there;
    }
    view.OnLoadIniCommand();
    EXPECT_EQ(prompts.filePlaces.last(), QStringList{QString::fromStdString(backups)});
}

// Against the simulated controller: every frame it hears is logged, so a
// load that sends nothing is seen to send nothing.
TEST(LoadReviewOverSimulator, CancelAndAFileThatChangesNothingSendNothingApplyUploads)
{
    constexpr int kCom = 174;
    test::ScopedPortsDir ports;
    test::TempDir dir;
    sim::SimulatorConfig config;
    config.controllerCom = kCom;
    config.frameLog = dir.File("frames.log");
    sim::Simulator sim(config);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;

    ControllerParams params;
    test::RecordingStatus status;
    test::FakePrompts prompts;
    CUARTView view(params, &status, prompts);
    view.SetBackupFolder(dir.File("backups"));
    view.OnInitialUpdate();
    ASSERT_TRUE(view.ConnectTo(kCom));
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.texts.contains(kAllUpdated); }, 5000));

    const ControllerParams device = sim.ControllerWorkingParams();
    ControllerParams wanted = device;
    wanted.ROLL_TOTAL = static_cast<std::uint16_t>(device.ROLL_TOTAL + 7);
    wanted.PITCH_MIN = device.PITCH_MIN - 2;
    const std::string path = dir.File("wanted.bgsc");
    ASSERT_TRUE(SaveControllerConfig(path, wanted));
    const auto uploads = [&] { return FramesHeard(config.frameLog, "controller", ctl::kType, kTypeGains, kTypePan); };
    // Enough frames that anything the load had asked for would have gone.
    const auto letFramesPass = [&] {
        const auto heard = sim.Stats(sim::DeviceKind::Controller).framesReceived;
        return QTest::qWaitFor(
            [&] { return sim.Stats(sim::DeviceKind::Controller).framesReceived >= heard + 25; }, 10000);
    };
    const QString rollTotalShown = view.Text(idc::RollTotal);

    prompts.applyReview = false;
    view.LoadConfigFile(QString::fromStdString(path));
    ASSERT_EQ(prompts.reviews.size(), 1);
    EXPECT_EQ(prompts.reviews[0].changes.size(), 2);
    ASSERT_TRUE(letFramesPass());
    EXPECT_EQ(uploads(), 0);
    EXPECT_EQ(sim.ControllerWorkingParams(), device);
    EXPECT_EQ(params, device);
    EXPECT_EQ(view.Text(idc::RollTotal), rollTotalShown);
    EXPECT_FALSE(fs::exists(dir.File("backups"))); // nothing replaced, nothing kept

    prompts.applyReview = true;
    view.LoadConfigFile(QString::fromStdString(path));
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.ControllerWorkingParams() == wanted; }, 10000));
    EXPECT_EQ(view.Text(idc::RollTotal), QString::number(wanted.ROLL_TOTAL));
    ASSERT_TRUE(letFramesPass());
    const int uploaded = uploads();
    EXPECT_GE(uploaded, 4);

    view.LoadConfigFile(QString::fromStdString(path));
    EXPECT_EQ(prompts.reviews.size(), 2);
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().text.contains(QStringLiteral("changes nothing")));
    ASSERT_TRUE(letFramesPass());
    EXPECT_EQ(uploads(), uploaded);
}

class MotorLoadReview : public test::MotorDialogFixture
{
};

TEST_F(MotorLoadReview, CancelAndAFileThatChangesNothingSendNothingApplyUploads)
{
    frameLog = dir.File("frames.log");
    StartSim();
    MakeDialog();
    Connect();
    const MotorParams board = sim->MotorWorkingParams();
    MotorParams wanted = board;
    wanted.POW_MOTOR2 = static_cast<std::uint8_t>(board.POW_MOTOR2 == 60 ? 61 : 60);
    const std::string path = dir.File("wanted.bmc");
    ASSERT_TRUE(SaveMotorConfig(path, wanted));
    WriteWholeFile(path, test::ReadWholeFile(path) + "SPEED=3\n");
    const auto writes = [&] { return FramesHeard(frameLog, "motor", mot::kCommand, kMotorCmdWrite, kMotorCmdWrite); };
    const auto letRepliesPass = [&] {
        const std::uint32_t replies = dlg->Engine().RepliesHandled();
        return QTest::qWaitFor([&] { return dlg->Engine().RepliesHandled() >= replies + 20; }, 10000);
    };
    const QString shown = Text(mdc::PowMotor2);

    prompts.applyReview = false;
    dlg->LoadMotorConfigFile(QString::fromStdString(path));
    ASSERT_EQ(prompts.reviews.size(), 1);
    const LoadReview& review = prompts.reviews[0];
    ASSERT_EQ(review.changes.size(), 1);
    EXPECT_EQ(review.changes[0].key, "POW_MOTOR2");
    EXPECT_EQ(review.changes[0].name, "Tilting motor > Power");
    EXPECT_EQ(review.unknown, QStringList{"SPEED"});
    EXPECT_EQ(review.board, "motor board");
    ASSERT_TRUE(letRepliesPass());
    EXPECT_EQ(writes(), 0);
    EXPECT_EQ(sim->MotorWorkingParams(), board);
    EXPECT_EQ(Text(mdc::PowMotor2), shown);

    prompts.applyReview = true;
    dlg->LoadMotorConfigFile(QString::fromStdString(path));
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim->MotorWorkingParams() == wanted; }, 10000));
    ASSERT_TRUE(letRepliesPass());
    const int written = writes();
    EXPECT_GE(written, 1);

    dlg->LoadMotorConfigFile(QString::fromStdString(path));
    EXPECT_EQ(prompts.reviews.size(), 2);
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().text.contains(QStringLiteral("changes nothing")));
    ASSERT_TRUE(letRepliesPass());
    EXPECT_EQ(writes(), written);
}

} // namespace
} // namespace qav
