// The controller model on its own, with a clock the test moves.
#include "ControllerModel.h"

#include "support/TempDir.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace qav::sim {
namespace {

using namespace std::chrono_literals;

Frame Poll(std::uint8_t command = kCmdNone, std::uint8_t type = kTypePoll, const ControllerParams& p = {})
{
    ControllerLinkState link;
    link.commandCode = command;
    link.pendingFrameType = type;
    Frame f;
    BuildFrame(link, p, f);
    return f;
}

// Runs the model at the PC's 20 ms rhythm for `span`, returning the last
// answer.
Frame RunTicks(ControllerModel& m, Clock::time_point& now, std::chrono::milliseconds span,
               std::uint8_t command = 0)
{
    Frame out{};
    for (auto t = 0ms; t < span; t += 20ms) {
        now += 20ms;
        m.Answer(Poll(command), now, out);
    }
    return out;
}

ControllerParams Steady(std::uint16_t total, std::uint16_t integral)
{
    ControllerParams p = DefaultControllerParams();
    p.ROLL_TOTAL = total;
    p.ROLL_INT = integral;
    p.ROLL_RC_ACC = 0; // sticks do not move the target
    p.PITCH_RC_ACC = 0;
    p.INIT_ROLL = 200; // 20 degrees
    return p;
}

double RollAfter(std::uint16_t total, std::uint16_t integral, std::chrono::milliseconds span)
{
    ControllerModel m(ControllerModelConfig{}, Clock::time_point{});
    Clock::time_point now{};
    Frame out;
    for (std::uint8_t t = kTypeGains; t <= kTypePan; ++t)
        m.Answer(Poll(kCmdNone, t, Steady(total, integral)), now, out);
    m.Answer(Poll(kCmdMotorOn), now, out);
    EXPECT_TRUE(m.MotorsOn());
    RunTicks(m, now, span);
    return m.Roll();
}

TEST(ControllerModel, ResponseFollowsTheGains)
{
    // Both settle on the initial angle; the stiffer loop gets there sooner.
    const double stiff = RollAfter(400, 100, 300ms);
    const double soft = RollAfter(40, 100, 300ms);
    EXPECT_GT(std::abs(20.0 - soft), std::abs(20.0 - stiff));
    EXPECT_NEAR(RollAfter(400, 100, 5s), 20.0, 0.5);
    EXPECT_NEAR(RollAfter(40, 100, 8s), 20.0, 0.5);
    // Without much integral gain the camera still sags after a while.
    EXPECT_GT(std::abs(20.0 - RollAfter(200, 1, 3s)), 1.0);
}

TEST(ControllerModel, AttitudeStaysWithinTheLimitsAndAccelerationsMatchIt)
{
    ControllerModel m(ControllerModelConfig{}, Clock::time_point{});
    Clock::time_point now{};
    Frame out;
    m.Answer(Poll(kCmdMotorOn), now, out);
    for (int i = 0; i < 30 * 50; ++i) { // thirty seconds of sticks
        now += 20ms;
        m.Answer(Poll(), now, out);
        const double roll = static_cast<std::int16_t>(GetLE16(out, ctl::kRoll)) / 10.0;
        const double tilt = static_cast<std::int16_t>(GetLE16(out, ctl::kTilt)) / 10.0;
        ASSERT_GE(roll, -44 - 5.0);
        ASSERT_LE(roll, 44 + 5.0);
        ASSERT_GE(tilt, -134 - 5.0);
        ASSERT_LE(tilt, 90 + 5.0);
        const double ax = static_cast<std::int16_t>(GetBE16(out, 20));
        const double ay = static_cast<std::int16_t>(GetBE16(out, 22));
        const double az = static_cast<std::int16_t>(GetBE16(out, 24));
        // Tilt from the accelerometer within its noise (near vertical the
        // roll is ill-defined, so only tilt is compared everywhere).
        const double tiltFromAcc = std::asin(std::clamp(-ax / 100.0, -1.0, 1.0)) * 180.0 / M_PI;
        if (std::abs(tilt) < 80) {
            ASSERT_NEAR(tiltFromAcc, tilt, 3.0) << "at step " << i;
        }
        if (std::abs(tilt) < 45) {
            ASSERT_NEAR(std::atan2(ay, az) * 180.0 / M_PI, roll, 4.0) << "at step " << i;
        }
    }
}

// The mode switch rests in each of its three positions for eight seconds
// in turn.
TEST(ControllerModel, ModeSwitchStaysPutForEightSecondsAtATime)
{
    ControllerModel m(ControllerModelConfig{}, Clock::time_point{});
    Clock::time_point now{};
    Frame out;
    std::vector<int> positions; // one per eight seconds
    for (int ms = 20; ms < 24'000; ms += 20) {
        now += 20ms;
        m.Answer(Poll(), now, out);
        const int mode = static_cast<std::int8_t>(out[17]);
        const auto span = static_cast<std::size_t>(ms / 8000);
        if (positions.size() == span)
            positions.push_back(mode);
        ASSERT_EQ(mode, positions[span]) << "at " << ms << " ms";
    }
    EXPECT_EQ(positions, (std::vector<int>{-100, 0, 100}));
}

TEST(ControllerModel, PowerCycleForgetsWhatWasNotFlashed)
{
    ControllerModel m(ControllerModelConfig{}, Clock::time_point{});
    Clock::time_point now{};
    Frame out;
    ControllerParams p = DefaultControllerParams();
    p.ROLL_TOTAL = 333;
    m.Answer(Poll(kCmdNone, kTypeGains, p), now, out);
    m.Answer(Poll(kCmdWriteFlash), now, out);
    EXPECT_EQ(out[ctl::kCommand], kCmdWriteFlash);
    p.ROLL_TOTAL = 444;
    m.Answer(Poll(kCmdMotorOn, kTypeGains, p), now, out);
    EXPECT_TRUE(m.MotorsOn());
    EXPECT_EQ(m.Params().ROLL_TOTAL, 444);
    m.PowerCycle(now);
    EXPECT_EQ(m.Params().ROLL_TOTAL, 333);
    EXPECT_FALSE(m.MotorsOn());
    // A command carried across the power cycle runs again.
    m.Answer(Poll(kCmdMotorOn), now, out);
    EXPECT_TRUE(m.MotorsOn());
}

TEST(ControllerModel, CalibrationResultComesAfterItsTime)
{
    ControllerModelConfig c;
    c.calibrationTime = 200ms;
    ControllerModel m(c, Clock::time_point{});
    Clock::time_point now{};
    EXPECT_EQ(RunTicks(m, now, 100ms, kCmdCalibrate)[ctl::kCommand], 0);
    EXPECT_EQ(RunTicks(m, now, 140ms, kCmdCalibrate)[ctl::kCommand], kCmdCalibrate);
    // Still carried, still reported; dropped, gone.
    EXPECT_EQ(RunTicks(m, now, 40ms, kCmdCalibrate)[ctl::kCommand], kCmdCalibrate);
    EXPECT_EQ(RunTicks(m, now, 20ms, kCmdNone)[ctl::kCommand], 0);
}

TEST(ControllerModel, FlashFileThatCannotBeReadIsAnError)
{
    test::TempDir dir;
    ControllerModelConfig c;
    c.flashPath = dir.path().string(); // a folder
    ControllerModel m(c, Clock::time_point{});
    const Result folder = m.LoadFlash();
    EXPECT_FALSE(folder);
    EXPECT_FALSE(folder.message.empty());

    c.flashPath = dir.File("never-written.bgsc");
    ControllerModel fresh(c, Clock::time_point{});
    EXPECT_TRUE(fresh.LoadFlash());
    EXPECT_EQ(fresh.Params(), DefaultControllerParams());
}

TEST(ControllerModel, FailedFlashSaveIsReportedAsAFailedWrite)
{
    test::TempDir dir;
    ControllerModelConfig c;
    c.flashPath = dir.File("no-such-folder/flash.bgsc");
    ControllerModel m(c, Clock::time_point{});
    Frame out;
    m.Answer(Poll(kCmdWriteFlash), Clock::time_point{}, out);
    EXPECT_EQ(out[ctl::kCommand], kCmdWriteFlash | kResultFailed);
}

TEST(ControllerModel, EveryHeldChannelIsAnsweredAtItsPlace)
{
    // The answer of each kind, by what it must carry besides the channels
    // every answer brings.
    struct Row
    {
        const char* what;
        std::uint8_t type;
        bool telemetry;
    };
    const Row rows[] = {
        {"poll", kTypePoll, true}, {"echo", kTypeReadLimits, false}, {"upload", kTypeGains, false}};
    ControllerModelConfig c;
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
        c.held[i] = -static_cast<std::int32_t>(5 + 3 * i);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ControllerModel m(c, Clock::time_point{});
        Frame out;
        m.Answer(Poll(kCmdNone, row.type), Clock::time_point{} + 20ms, out);
        EXPECT_EQ(out[ctl::kType], row.type);
        const ControllerTelemetry t = DecodeTelemetry(out);
        for (std::size_t i = 0; i < kTelemetryChannelCount; ++i) {
            if (row.telemetry || kTelemetryChannels[i].InEveryAnswer()) {
                EXPECT_EQ(t.Count(i), *c.held[i]) << kTelemetryChannels[i].key;
            }
        }
    }
}

} // namespace
} // namespace qav::sim
