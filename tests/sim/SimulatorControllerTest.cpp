// The simulated controller over its real pseudo-terminal, driven with the
// project's own serial link and controller frames.
#include "SimClient.h"
#include "Simulator.h"

#include "platform/IniFile.h"
#include "platform/PortMap.h"
#include "protocol/ControllerProtocol.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <cmath>
#include <gtest/gtest.h>
#include <set>

namespace qav {
namespace {

using namespace std::chrono_literals;
using sim::DeviceKind;
using sim::Simulator;
using sim::SimulatorConfig;
using test::SimClient;

constexpr int kCom = 301;

Frame Request(std::uint8_t counter, std::uint8_t command, std::uint8_t type, const ControllerParams& p = {})
{
    ControllerLinkState link;
    link.sequenceCounter = counter;
    link.commandCode = command;
    link.pendingFrameType = type;
    Frame f;
    BuildFrame(link, p, f);
    return f;
}

// A set that differs from the simulator's factory settings everywhere the
// uploads reach, with odd limits that lose a degree on the way.
ControllerParams UploadSet()
{
    ControllerParams p;
    p.ROLL_TOTAL = 300;
    p.ROLL_VEL = 301;
    p.ROLL_INT = 302;
    p.ROLL_ACC = 303;
    p.PITCH_TOTAL = 400;
    p.PITCH_VEL = 401;
    p.PITCH_INT = 402;
    p.PITCH_ACC = 403;
    p.ROLL_SERVO_REV = -1;
    p.PITCH_SERVO_REV = -1;
    p.YAW_SERVO_REV = -1;
    p.RECEIVER_TYPE = 8;
    p.INSTALL_MODE = 3;
    p.ROLL_MAX = 45;
    p.ROLL_MIN = -45;
    p.PITCH_MAX = 89;
    p.PITCH_MIN = -135;
    p.ROLL_RC_ACC = 77;
    p.PITCH_RC_ACC = 78;
    p.YAW_RC_ACC = 79;
    p.YAW_TOTAL = 11;
    p.YAW_INT = 12;
    p.YAW_VEL = 13;
    p.YAW_ACC = 14;
    p.INIT_PITCH = -1350;
    p.INIT_ROLL = 450;
    p.DEFAULT_MODE = 2;
    // Never sent by an upload: the controller must keep its own.
    p.ROLL_SERVO_CENTER = 99;
    p.ROLL_SERVO_TYPE = 6;
    p.ROLL_CTRL_MODE = 2;
    return p;
}

class SimController : public testing::Test
{
protected:
    void SetUp() override
    {
        flash_ = dir_.File("flash.bgsc");
        // Values only the controller's own flash holds.
        ASSERT_TRUE(WritePrivateProfileStrings({{"SIMULATOR", "PITCH_CTRL_MODE", "2"},
                                                {"SIMULATOR", "PITCH_SERVO_TYPE", "4"},
                                                {"PARAMETERS", "ROLL_TOTAL", "120"},
                                                {"PARAMETERS", "ROLL_VEL", "80"},
                                                {"PARAMETERS", "ROLL_INT", "20"},
                                                {"PARAMETERS", "ROLL_ACC", "50"},
                                                {"PARAMETERS", "PITCH_TOTAL", "150"},
                                                {"PARAMETERS", "PITCH_VEL", "90"},
                                                {"PARAMETERS", "PITCH_INT", "25"},
                                                {"PARAMETERS", "PITCH_ACC", "50"},
                                                {"PARAMETERS", "ROLL_MAX", "44"},
                                                {"PARAMETERS", "ROLL_MIN", "-44"},
                                                {"PARAMETERS", "PITCH_MAX", "90"},
                                                {"PARAMETERS", "PITCH_MIN", "-134"}},
                                               flash_)
                        .Ok());
        config_.controllerCom = kCom;
        config_.flashPath = flash_;
        config_.calibrationTime = 100ms;
    }

    void StartSim()
    {
        sim_ = std::make_unique<Simulator>(config_);
        const Result started = sim_->Start();
        ASSERT_TRUE(started) << started.message;
        client_ = std::make_unique<SimClient>(kControllerHeader0, kControllerHeader1);
        const Result opened = client_->Open(kCom);
        ASSERT_TRUE(opened) << opened.message;
    }

    void TearDown() override
    {
        client_.reset();
        sim_.reset();
    }

    // Sends `type` every tick with the current counter until the answer of
    // that type comes back; steps the counter as the PC does.
    Frame Transfer(std::uint8_t type, const ControllerParams& p = {}, std::uint8_t command = kCmdNone)
    {
        std::optional<Frame> answer = client_->Until(
            [&] { return Request(counter_, command, type, p); },
            [&](const Frame& f) { return f[ctl::kType] == type && f[ctl::kCounter] == counter_; });
        EXPECT_TRUE(answer) << "no answer of type " << int(type);
        if (!answer)
            return Frame{};
        EXPECT_EQ((*answer)[ctl::kCounter], counter_);
        ++counter_;
        return *answer;
    }

    // The answer to a frame carrying `command`.
    Frame Command(std::uint8_t command, std::uint8_t type = kTypePoll)
    {
        const std::uint8_t counter = counter_++;
        auto f = client_->Exchange(Request(counter, command, type), test::kPatience,
                                   [&](const Frame& a) { return a[ctl::kCounter] == counter; });
        EXPECT_TRUE(f);
        return f.value_or(Frame{});
    }

    ControllerParams ReadBack(std::array<Frame, 4>* echoes = nullptr)
    {
        ControllerParams got;
        for (std::uint8_t t = kTypeReadGains; t <= kTypeReadPan; ++t) {
            const Frame f = Transfer(t);
            DecodeEchoPayload(f, got);
            if (echoes)
                (*echoes)[t - kTypeReadGains] = f;
        }
        return got;
    }

    void Upload(const ControllerParams& p, std::array<Frame, 4>* sent = nullptr)
    {
        for (std::uint8_t t = kTypeGains; t <= kTypePan; ++t) {
            Transfer(t, p);
            if (sent)
                (*sent)[t - kTypeGains] = Request(0, 0, t, p);
        }
    }

    test::TempDir dir_;
    test::ScopedPortsDir ports_;
    std::string flash_;
    SimulatorConfig config_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<SimClient> client_;
    std::uint8_t counter_ = 0;
};

TEST_F(SimController, AnswersCarryCounterMotorStateFirmwareAndType)
{
    StartSim();
    for (std::uint8_t counter : {0, 1, 1, 200, 255}) {
        const auto f = client_->Exchange(Request(counter, kCmdNone, kTypePoll), test::kPatience,
                                         [&](const Frame& a) { return a[ctl::kCounter] == counter; });
        ASSERT_TRUE(f);
        EXPECT_TRUE(FrameCrcMatches(*f));
        EXPECT_EQ((*f)[ctl::kCounter], counter);
        EXPECT_EQ((*f)[ctl::kMotorState], kMotorsOff);
        EXPECT_EQ((*f)[ctl::kCommand], 0);
        EXPECT_EQ((*f)[ctl::kFirmware], 23);
        EXPECT_EQ((*f)[ctl::kType], kTypePoll);
    }
    // A type no one knows is answered as telemetry of that type.
    const auto odd = client_->Exchange(Request(9, kCmdNone, 5), test::kPatience,
                                       [](const Frame& a) { return a[ctl::kCounter] == 9; });
    ASSERT_TRUE(odd);
    EXPECT_EQ((*odd)[ctl::kType], 0) << "BuildFrame sends unknown types as plain polls";
}

TEST_F(SimController, ReadBackGivesTheFlashedSet)
{
    StartSim();
    const ControllerParams got = ReadBack();
    EXPECT_EQ(got.ROLL_TOTAL, 120);
    EXPECT_EQ(got.PITCH_INT, 25);
    EXPECT_EQ(got.PITCH_MIN, -134);
    EXPECT_EQ(got.PITCH_CTRL_MODE, 2);
    EXPECT_EQ(got.PITCH_SERVO_TYPE, 4);
    EXPECT_EQ(got, sim_->ControllerWorkingParams());
}

TEST_F(SimController, UploadThenReadBackGivesTheSameBytes)
{
    StartSim();
    const ControllerParams before = ReadBack();
    std::array<Frame, 4> sent{}, echoed{};
    Upload(UploadSet(), &sent);
    const ControllerParams after = ReadBack(&echoed);

    // Quarter by quarter, every byte an upload carries comes back unchanged.
    for (std::size_t i = 14; i <= 29; ++i)
        EXPECT_EQ(echoed[0][i], sent[0][i]) << "gains byte " << i;
    for (std::size_t i : {14, 15, 16})
        EXPECT_EQ(echoed[1][i], sent[1][i]) << "directions byte " << i;
    for (std::size_t i : {17, 19, 20, 21, 22, 23, 24, 25, 26})
        EXPECT_EQ(echoed[2][i], sent[2][i]) << "limits byte " << i;
    for (std::size_t i = 14; i <= 26; ++i)
        EXPECT_EQ(echoed[3][i], sent[3][i]) << "pan byte " << i;

    // Limits come back halved and doubled; what uploads leave out is the
    // controller's own, not the fixed bytes the uploads carry.
    EXPECT_EQ(after.ROLL_MAX, 44);
    EXPECT_EQ(after.PITCH_MAX, 88);
    EXPECT_EQ(after.PITCH_MIN, -134);
    EXPECT_EQ(after.ROLL_SERVO_TYPE, before.ROLL_SERVO_TYPE);
    EXPECT_EQ(after.PITCH_SERVO_TYPE, 4);
    EXPECT_EQ(after.PITCH_CTRL_MODE, 2);
    EXPECT_EQ(after.ROLL_SERVO_CENTER, before.ROLL_SERVO_CENTER);
    EXPECT_EQ(after.INIT_PITCH, -1350);
    EXPECT_EQ(after.ROLL_SERVO_REV, -1);
}

TEST_F(SimController, MotorOnIsRefusedWhileAGainIsZeroOrLimitsCross)
{
    StartSim();
    ControllerParams p = UploadSet();
    p.PITCH_ACC = 0;
    Upload(p);
    Frame f = Command(kCmdMotorOn);
    EXPECT_EQ(f[ctl::kCommand], kCmdMotorOn);
    EXPECT_EQ(f[ctl::kMotorState], kMotorsOff);
    EXPECT_EQ(Command(kCmdNone)[ctl::kCommand], 0);

    p.PITCH_ACC = 1;
    p.ROLL_MAX = -10; // below ROLL_MIN
    p.ROLL_MIN = 10;
    Upload(p);
    f = Command(kCmdMotorOn);
    EXPECT_EQ(f[ctl::kMotorState], kMotorsOff);
    EXPECT_FALSE(sim_->ControllerMotorsOn());
    Command(kCmdNone);

    p.ROLL_MAX = -44; // equal limits do not cross
    p.ROLL_MIN = -44;
    Upload(p);
    f = Command(kCmdMotorOn);
    EXPECT_EQ(f[ctl::kCommand], kCmdMotorOn);
    EXPECT_EQ(f[ctl::kMotorState], kMotorsOn);
    // The result stays in every answer while the PC still carries the code.
    EXPECT_EQ(Command(kCmdMotorOn)[ctl::kCommand], kCmdMotorOn);
    EXPECT_EQ(Command(kCmdNone)[ctl::kMotorState], kMotorsOn);

    f = Command(kCmdMotorOff);
    EXPECT_EQ(f[ctl::kCommand], kCmdMotorOff);
    EXPECT_EQ(f[ctl::kMotorState], kMotorsOff);
    EXPECT_EQ(Command(kCmdPidOff)[ctl::kCommand], kCmdPidOff | kResultFailed);
}

TEST_F(SimController, CalibrationTakesAMomentThenReportsItsResult)
{
    StartSim();
    const Frame first = Command(kCmdCalibrate);
    EXPECT_EQ(first[ctl::kCommand], 0);
    const auto done = client_->Until([&] { return Request(counter_, kCmdCalibrate, kTypePoll); },
                                     [](const Frame& f) { return f[ctl::kCommand] == kCmdCalibrate; });
    ASSERT_TRUE(done);
}

TEST_F(SimController, FlashedSettingsSurviveARestartAndUnflashedOnesDoNot)
{
    StartSim();
    ControllerParams flashed = UploadSet();
    Upload(flashed);
    EXPECT_EQ(Command(kCmdWriteFlash)[ctl::kCommand], kCmdWriteFlash);
    Command(kCmdNone);
    ControllerParams unflashed = flashed;
    unflashed.ROLL_TOTAL = 7;
    unflashed.YAW_VEL = 8;
    Upload(unflashed);
    EXPECT_EQ(ReadBack().ROLL_TOTAL, 7);

    client_.reset();
    sim_.reset();
    EXPECT_FALSE(IsAliasLive(kCom)) << "aliases go with the simulator";
    counter_ = 0;
    StartSim();
    const ControllerParams got = ReadBack();
    EXPECT_EQ(got.ROLL_TOTAL, 300);
    EXPECT_EQ(got.YAW_VEL, 13) << "pan gains are kept in flash as well";
    EXPECT_EQ(got.INIT_ROLL, 450);
    EXPECT_EQ(got.PITCH_CTRL_MODE, 2);
    // The file stays a configuration file the tool can load.
    EXPECT_EQ(GetPrivateProfileInt("PARAMETERS", "ROLL_TOTAL", flash_), 300);
}

TEST_F(SimController, RefusedFlashWritesFailUntilTheCountIsUsedUp)
{
    config_.faults.refuseFlashWrites = 2;
    StartSim();
    const ControllerParams start = sim_->ControllerFlashParams();
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(Command(kCmdWriteFlash)[ctl::kCommand], kCmdWriteFlash | kResultFailed);
        // Carried again, the same command is not run again.
        EXPECT_EQ(Command(kCmdWriteFlash)[ctl::kCommand], kCmdWriteFlash | kResultFailed);
        Command(kCmdNone);
    }
    EXPECT_EQ(sim_->ControllerFlashParams(), start);
    Upload(UploadSet());
    EXPECT_EQ(Command(kCmdWriteFlash)[ctl::kCommand], kCmdWriteFlash);
    EXPECT_EQ(sim_->ControllerFlashParams().ROLL_TOTAL, 300);
}

TEST_F(SimController, TelemetryLooksAlive)
{
    StartSim();
    Upload(UploadSet());
    Command(kCmdMotorOn);
    // Polled at the PC's rhythm until the attitude and the sticks have
    // moved (how the mode switch moves is the model's test, on its clock).
    std::set<int> rolls, sticks;
    int answers = 0;
    const auto moved = client_->Until([&] { return Request(counter_, kCmdNone, kTypePoll); },
                                      [&](const Frame& f) {
                                          ++answers;
                                          rolls.insert(static_cast<std::int16_t>(GetLE16(f, ctl::kRoll)));
                                          sticks.insert(static_cast<std::int8_t>(f[14]));
                                          // Gravity is 1 g whatever the attitude.
                                          const double ax = static_cast<std::int16_t>(GetBE16(f, 20));
                                          const double ay = static_cast<std::int16_t>(GetBE16(f, 22));
                                          const double az = static_cast<std::int16_t>(GetBE16(f, 24));
                                          EXPECT_NEAR(std::sqrt(ax * ax + ay * ay + az * az), 100.0, 6.0)
                                              << ax << " " << ay << " " << az;
                                          return rolls.size() > 3 && sticks.size() > 1;
                                      });
    EXPECT_TRUE(moved) << rolls.size() << " rolls and " << sticks.size() << " stick positions in " << answers
                       << " answers";
}

} // namespace
} // namespace qav
