#include "protocol/ControllerLink.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace qav {
namespace {

struct FakeTransport : IFrameTransport
{
    bool open = true;
    std::vector<Frame> sent;
    bool IsOpen() const override { return open; }
    void WriteFrame(const Frame& f) override { sent.push_back(f); }
};

// Records every event as a line, with the link flag as seen at that moment.
struct Recorder : IControllerEvents
{
    ControllerLink* link = nullptr;
    std::vector<std::string> log;
    void OnLinkEstablished() override { log.push_back("established"); }
    void OnMotorState(std::uint8_t s) override { log.push_back("motor " + std::to_string(s)); }
    void OnCommandResult(const ControllerResult& r, std::uint8_t m) override
    {
        log.push_back("result " + std::to_string(r.code) + " " + std::string(ResultMessage(r, m)));
    }
    void OnFirmwareVersion(std::uint8_t v) override { log.push_back("firmware " + std::to_string(v)); }
    void OnEchoDecoded(std::uint8_t t) override { log.push_back("echo " + std::to_string(t)); }
    void OnUploadAcknowledged(std::uint8_t t) override { log.push_back("ack " + std::to_string(t)); }
    void OnTelemetry(const ControllerTelemetry& t) override
    {
        log.push_back("telemetry " + std::to_string(t.Count(kChannelRcMode)) + " " +
                      std::to_string(t.Count(kChannelAx)));
    }
    void OnLinkLost() override
    {
        log.push_back(std::string("lost ") + (link->State().linkEstablished ? "was-established" : "never"));
    }
};

Frame Answer(std::uint8_t counter, std::uint8_t type, std::uint8_t motor = 0, std::uint8_t result = 0,
             std::uint8_t firmware = 0)
{
    Frame f{};
    f[0] = kControllerHeader0;
    f[1] = kControllerHeader1;
    f[ctl::kCounter] = counter;
    f[ctl::kMotorState] = motor;
    f[ctl::kCommand] = result;
    f[ctl::kFirmware] = firmware;
    f[ctl::kType] = type;
    SealFrame(f);
    return f;
}

class ControllerLinkTest : public ::testing::Test
{
protected:
    ControllerLinkTest() : link(params, events)
    {
        events.link = &link;
        link.SetTransport(&transport);
    }
    void Feed(const Frame& f) { link.OnBytes(f.data(), f.size()); }

    ControllerParams params;
    Recorder events;
    FakeTransport transport;
    ControllerLink link;
};

TEST_F(ControllerLinkTest, OpeningSendsMotorOffReadBackEveryTick)
{
    link.OnPortOpened();
    link.Tick();
    link.Tick();
    ASSERT_EQ(transport.sent.size(), 2u);
    for (const auto& f : transport.sent) {
        EXPECT_EQ(f[ctl::kCommand], kCmdMotorOff);
        EXPECT_EQ(f[ctl::kType], kTypeReadGains);
        EXPECT_EQ(f[ctl::kCounter], 0);
    }
}

TEST_F(ControllerLinkTest, ClosedTransportSendsNothingButWatchdogRuns)
{
    transport.open = false;
    link.OnPortOpened();
    for (int i = 0; i < 30; ++i)
        link.Tick();
    EXPECT_TRUE(transport.sent.empty());
    EXPECT_EQ(link.State().watchdogCount, 26u);
    EXPECT_EQ(events.log, std::vector<std::string>{"lost never"});
}

TEST_F(ControllerLinkTest, ReadBackChainFillsTheSetAndEndsInPolls)
{
    ControllerParams device;
    device.ROLL_TOTAL = 321;
    device.ROLL_SERVO_CENTER = -12;
    device.PITCH_MIN = -90;
    device.INIT_ROLL = -450;
    link.OnPortOpened();
    std::uint8_t counter = 0;
    for (std::uint8_t type : {kTypeReadGains, kTypeReadDirections, kTypeReadLimits, kTypeReadPan}) {
        EXPECT_EQ(link.State().pendingFrameType, type);
        Frame f = Answer(counter++, type);
        EncodeEchoPayload(type, device, f);
        SealFrame(f);
        Feed(f);
    }
    EXPECT_EQ(link.State().pendingFrameType, kTypePoll);
    EXPECT_EQ(params, device);
    EXPECT_EQ(link.State().sequenceCounter, 4);
    const std::vector<std::string> expected{"established", "echo 129", "echo 130", "echo 131", "echo 132"};
    EXPECT_EQ(events.log, expected);
}

TEST_F(ControllerLinkTest, LateEchoNeitherOverwritesNorDropsAPendingUpload)
{
    ControllerParams device;
    device.INIT_PITCH = 111;
    device.ROLL_TOTAL = 222;
    device.ROLL_SERVO_CENTER = 33;
    device.ROLL_MAX = 40;
    // Pending type when the late echo arrives -> what it must leave pending.
    const struct
    {
        std::uint8_t pending, echo, after;
        bool decoded;
    } rows[] = {
        {kTypeGains, kTypeReadPan, kTypeGains, false},
        {kTypeDirections, kTypeReadGains, kTypeDirections, false},
        {kTypePan, kTypeReadLimits, kTypePan, false},
        // Outside an upload the read-back chain runs as always.
        {kTypePoll, kTypeReadPan, kTypePoll, true},
        {kTypeReadGains, kTypeReadGains, kTypeReadDirections, true},
        {kTypeReadLimits, kTypeReadDirections, kTypeReadLimits, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.pending) * 1000 + row.echo);
        params = ControllerParams{};
        params.INIT_PITCH = 5, params.ROLL_TOTAL = 6;
        const ControllerParams before = params;
        events.log.clear();
        link.State().SelectFrameType(row.pending);
        Frame f = Answer(77, row.echo);
        EncodeEchoPayload(row.echo, device, f);
        SealFrame(f);
        Feed(f);
        EXPECT_EQ(link.State().pendingFrameType, row.after);
        EXPECT_EQ(params != before, row.decoded);
        EXPECT_EQ(events.log.size(), row.decoded ? 1u : 0u);
    }
}

TEST_F(ControllerLinkTest, UploadChainRunsQuarterByQuarterAndIssuesPendingFlashWrite)
{
    link.State().SelectFrameType(kTypeGains);
    link.State().flashWritePending = true;
    for (std::uint8_t type : {kTypeGains, kTypeDirections, kTypeLimits, kTypePan}) {
        EXPECT_EQ(link.State().pendingFrameType, type);
        link.Tick();
        Feed(Answer(9, type));
    }
    EXPECT_EQ(link.State().pendingFrameType, kTypePoll);
    EXPECT_EQ(link.State().commandCode, kCmdWriteFlash);
    const std::vector<std::string> acks{"ack 1", "ack 2", "ack 3", "ack 4"};
    EXPECT_EQ(events.log, acks);
    Feed(Answer(9, kTypePan)); // a repeated last answer sends nothing again
    link.State().commandCode = kCmdNone;
    Feed(Answer(9, kTypePan));
    EXPECT_EQ(link.State().commandCode, kCmdNone);
    link.State().commandCode = kCmdWriteFlash;
    Feed(Answer(9, 0, kMotorsOff, kCmdWriteFlash | kResultFailed));
    EXPECT_TRUE(link.State().flashWritePending);
    EXPECT_EQ(link.State().commandCode, kCmdNone);
    Feed(Answer(9, 0, kMotorsOff, kCmdWriteFlash));
    EXPECT_FALSE(link.State().flashWritePending);
}

// An answer still in flight from an earlier upload, or to a frame built
// before the latest edit, must not move a newer upload on: the quarters it
// skipped would never reach the controller while the screen says uploaded.
TEST_F(ControllerLinkTest, StaleUploadAnswersNeverSkipQuartersOfANewerUpload)
{
    enum Step { Select, Tick, Answer1, Answer2, Answer4 };
    struct Row
    {
        const char* what;
        std::vector<Step> steps;
        std::uint8_t pendingAfter;
        int acks;
    };
    const Row rows[] = {
        {"answer before the quarter went out", {Select, Answer1}, kTypeGains, 0},
        {"answer of a later quarter than pending", {Select, Tick, Answer2}, kTypeGains, 0},
        {"edit after the frame went out", {Select, Tick, Select, Answer1}, kTypeGains, 0},
        {"edit after the frame went out, then sent again",
         {Select, Tick, Select, Tick, Answer1},
         kTypeDirections,
         1},
        {"last quarter of the old upload in flight",
         {Select, Tick, Answer1, Tick, Answer2, Select, Tick, Answer4},
         kTypeGains,
         2},
        {"the next quarter needs its own frame", {Select, Tick, Answer1, Answer2}, kTypeDirections, 1},
    };
    // The answers carry the controller's motor state: a frame equal to the
    // one sent would be its echo.
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        link.State() = ControllerLinkState{};
        events.log.clear();
        int acks = 0;
        for (Step step : row.steps) {
            switch (step) {
            case Select:
                link.State().SelectFrameType(kTypeGains);
                break;
            case Tick:
                link.Tick();
                break;
            case Answer1:
                Feed(Answer(0, kTypeGains, kMotorsOff));
                break;
            case Answer2:
                Feed(Answer(0, kTypeDirections, kMotorsOff));
                break;
            case Answer4:
                Feed(Answer(0, kTypePan, kMotorsOff));
                break;
            }
        }
        for (const auto& line : events.log)
            acks += line.rfind("ack", 0) == 0;
        EXPECT_EQ(link.State().pendingFrameType, row.pendingAfter);
        EXPECT_EQ(acks, row.acks);
    }
}

TEST_F(ControllerLinkTest, RepeatedEchoDecodesAgainAndKeepsNextType)
{
    link.OnPortOpened();
    Feed(Answer(0, kTypeReadGains));
    Feed(Answer(0, kTypeReadGains));
    EXPECT_EQ(link.State().pendingFrameType, kTypeReadDirections);
    EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "echo 129"), 2);
    // Only the first answer echoing a counter steps it.
    EXPECT_EQ(link.State().sequenceCounter, 1);
}

TEST_F(ControllerLinkTest, EffectsComeInOrderWithinOneAnswer)
{
    link.State().commandCode = kCmdMotorOn;
    Frame f = Answer(0, 0, kMotorsOff, kCmdMotorOn, 23);
    f[17] = static_cast<std::uint8_t>(-100);
    f[20] = 0xFF;
    f[21] = 0x38;
    PutLE16(f, ctl::kRoll, 300);
    SealFrame(f);
    Feed(f);
    const std::vector<std::string> expected{"established", "motor 3",
                                            "result 1 $INKred$Motor on failed! Please check angle limitation "
                                            "and gains(any gain item can't be zero)!",
                                            "firmware 23", "telemetry -100 -200"};
    EXPECT_EQ(events.log, expected);
    EXPECT_FLOAT_EQ(link.State().roll, 30.0f);
    EXPECT_EQ(link.State().commandCode, kCmdNone);
}

TEST_F(ControllerLinkTest, FirmwareVersionReportedOnlyWhenItChanges)
{
    link.OnPortOpened();
    Feed(Answer(0, 0, 0, 0, 0)); // 0 right after opening changes nothing
    Feed(Answer(1, 0, 0, 0, 23));
    Feed(Answer(2, 0, 0, 0, 23));
    Feed(Answer(3, 0, 0, 0, 24));
    EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "firmware 23"), 1);
    EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "firmware 24"), 1);
    EXPECT_EQ(std::count_if(events.log.begin(), events.log.end(),
                            [](const std::string& s) { return s.rfind("firmware", 0) == 0; }),
              2);
}

TEST_F(ControllerLinkTest, WatchdogLosesTheLinkOnceOnTheTwentySixthTickAndKeepsAsking)
{
    link.OnPortOpened();
    Feed(Answer(0, kTypeReadGains));
    link.State().SelectFrameType(kTypeGains);
    link.State().commandCode = kCmdNone;
    for (int i = 0; i < 25; ++i)
        link.Tick();
    EXPECT_TRUE(link.State().linkEstablished);
    EXPECT_EQ(link.State().pendingFrameType, kTypeGains);
    link.Tick();
    EXPECT_FALSE(link.State().linkEstablished);
    EXPECT_EQ(link.State().commandCode, kCmdMotorOff);
    EXPECT_EQ(link.State().pendingFrameType, kTypeReadGains);
    for (int i = 0; i < 10; ++i)
        link.Tick();
    EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "lost was-established"), 1);
    // An answer brings the link back.
    Feed(Answer(link.State().sequenceCounter, kTypeReadGains));
    EXPECT_TRUE(link.State().linkEstablished);
    EXPECT_EQ(link.State().watchdogCount, 0u);
}

TEST_F(ControllerLinkTest, ObserverReconnectCommandLeavesTheMotorsAlone)
{
    link.SetReconnectCommand(kCmdNone);
    link.OnPortOpened();
    for (int i = 0; i < 40; ++i)
        link.Tick();
    for (const auto& f : transport.sent)
        EXPECT_EQ(f[ctl::kCommand], kCmdNone);
}

TEST_F(ControllerLinkTest, MismatchedCounterStillUpdatesEverythingButLiveness)
{
    link.OnPortOpened();
    Frame f = Answer(7, 0, kMotorsOn, 0, 30);
    PutLE16(f, ctl::kTilt, static_cast<std::uint16_t>(-300));
    SealFrame(f);
    Feed(f);
    EXPECT_FALSE(link.State().linkEstablished);
    EXPECT_EQ(link.State().sequenceCounter, 0);
    EXPECT_FLOAT_EQ(link.State().tilt, -30.0f);
    EXPECT_EQ(events.log.front(), "motor 1");
}

TEST(ControllerTexts, ResultTableCoversKnownCodesOnly)
{
    for (int code = 0; code < 256; ++code) {
        const bool known = (code >= 1 && code <= 5) || (code >= 0x81 && code <= 0x85);
        EXPECT_EQ(FindControllerResult(static_cast<std::uint8_t>(code)) != nullptr, known) << code;
    }
    EXPECT_EQ(ResultMessage(*FindControllerResult(kCmdMotorOn), kMotorsOn),
              "$INKblue$Motor on successfully!");
    EXPECT_EQ(ResultMessage(*FindControllerResult(kCmdPidOff), kMotorsOff), "$INKred$PID off failed!");
    EXPECT_EQ(ResultMessage(*FindControllerResult(kCmdMotorOff), kMotorsOff),
              "$INKblue$Motor off successfully!");
}

} // namespace
} // namespace qav
