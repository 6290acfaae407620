#include "motor/MotorLink.h"

#include "protocol/FrameIntake.h"
#include "support/ParamsPrinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace qav {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct FakeTransport : IFrameTransport
{
    bool open = true;
    std::vector<Frame> sent;
    bool IsOpen() const override { return open; }
    void WriteFrame(const Frame& f) override { sent.push_back(f); }
};

// Every event as a line, with what the engine's state is at that moment.
struct Recorder : IMotorEvents
{
    MotorLink* link = nullptr;
    std::vector<std::string> log;
    void OnMotorConnected() override
    {
        log.push_back(std::string("connected") + (link->State().motorConnected ? "" : " (flag not set)"));
    }
    void OnFlashResult(bool stored) override
    {
        log.push_back(stored ? "Write flash successfully!" : "Write flash failed!");
    }
    void OnFirmwareVersion(std::uint8_t v) override
    {
        char text[40];
        std::snprintf(text, sizeof text, "Firmware Version:V%.1f", v / 10.0);
        log.push_back(text);
    }
    void OnParametersAccepted(bool flashNext) override
    {
        log.push_back(flashNext ? "accepted, flash next" : "accepted");
    }
    void OnParameterReport(const MotorParams& p) override
    {
        log.push_back("report " + std::to_string(p.POL_MOTOR1) + " " + std::to_string(p.POW_MOTOR1) + " " +
                      std::to_string(p.POL_MOTOR2) + " " + std::to_string(p.POW_MOTOR2) + " command " +
                      std::to_string(link->State().command));
    }
    void OnMonitor(std::uint16_t v, std::uint16_t a) override
    {
        char text[40];
        std::snprintf(text, sizeof text, "%.3f V %.3f A", v * kMotorVoltsPerUnit, a * kMotorAmpsPerUnit);
        log.push_back(text);
    }
    void OnMotorLost(bool wasConnected) override
    {
        log.push_back(wasConnected ? "Motor disconnected!" : "lost, never connected");
    }
};

Frame Reply(std::uint8_t type, std::uint8_t flash = 0, std::uint8_t firmware = 15,
            std::initializer_list<std::uint8_t> payload = {})
{
    Frame f{};
    f[0] = 0xEB;
    f[1] = 0x90;
    f[2] = flash;
    f[4] = firmware;
    f[5] = type;
    std::size_t i = 6;
    for (std::uint8_t b : payload)
        f[i++] = b;
    SealFrame(f);
    return f;
}

Frame Request(std::initializer_list<std::uint8_t> head, std::uint8_t crcHigh, std::uint8_t crcLow)
{
    Frame f{};
    std::size_t i = 0;
    for (std::uint8_t b : head)
        f[i++] = b;
    f[30] = crcHigh;
    f[31] = crcLow;
    return f;
}

const Frame kReadRequest = Request({0xEB, 0x90, 0, 0, 0, 0x11}, 0xE5, 0xFE);
const Frame kMonitorRequest = Request({0xEB, 0x90, 0, 0, 0, 0x21}, 0xC9, 0xB2);
const Frame kWriteRequest = Request({0xEB, 0x90, 0, 0, 0, 0x01, 0x0E, 0x50, 0x0E, 0x3C}, 0x1C, 0x4E);

Frame WithFlashFlag(Frame f)
{
    f[2] = 1;
    SealFrame(f);
    return f;
}

class MotorLinkTest : public ::testing::Test
{
protected:
    MotorLinkTest() : link(params, events)
    {
        events.link = &link;
        link.SetTransport(&transport);
        link.OnPortOpened();
    }
    void Feed(const Frame& f) { link.OnBytes(f.data(), f.size()); }
    // One tick; returns the request it sent.
    Frame TickSent()
    {
        link.Tick();
        return transport.sent.back();
    }

    MotorParams params;
    Recorder events;
    FakeTransport transport;
    MotorLink link;
};

TEST_F(MotorLinkTest, NormalSequenceReadsThenMonitorsThenWritesAndMonitorsAgain)
{
    EXPECT_EQ(TickSent(), kReadRequest);
    EXPECT_EQ(TickSent(), kReadRequest);
    Feed(Reply(17, 0, 15, {14, 80, 14, 60}));
    EXPECT_EQ(params, (MotorParams{14, 80, 14, 60, 0, 0}));
    EXPECT_EQ(TickSent(), kMonitorRequest);
    Feed(Reply(33, 0, 15, {0x2C, 0x05, 0xF4, 0x01}));
    EXPECT_EQ(TickSent(), kMonitorRequest);

    link.RequestCommand(kMotorCmdWrite);
    EXPECT_EQ(TickSent(), kWriteRequest);
    EXPECT_EQ(TickSent(), kWriteRequest); // repeated until the board answers
    Feed(Reply(1));
    EXPECT_EQ(TickSent(), kMonitorRequest);

    EXPECT_EQ(events.log,
              (std::vector<std::string>{"connected", "Firmware Version:V1.5", "report 14 80 14 60 command 33",
                                        "11.734 V 2.014 A", "accepted"}));
}

// The board answers every request, so answers to requests sent before the
// command changed arrive after it: they neither put the board's old values
// over the set nor end a write that has not gone out. The board's set is
// what it reported or took, never what was typed since.
TEST_F(MotorLinkTest, LateAnswersOfAnEarlierCommandChangeNothing)
{
    link.Tick();
    link.Tick(); // two read requests in flight
    EXPECT_FALSE(link.BoardSet());
    Feed(Reply(17, 0, 15, {14, 80, 14, 60}));
    ASSERT_EQ(link.BoardSet(), (MotorParams{14, 80, 14, 60, 0, 0}));
    params.POW_MOTOR1 = 95;                   // typed, not sent
    Feed(Reply(17, 0, 15, {14, 80, 14, 60})); // the second read's answer
    EXPECT_EQ(params.POW_MOTOR1, 95);
    EXPECT_EQ(link.State().command, kMotorCmdMonitor);
    EXPECT_EQ(link.BoardSet()->POW_MOTOR1, 80);

    // A write chosen and not yet sent is not ended by a late acceptance.
    link.RequestCommand(kMotorCmdWrite);
    Feed(Reply(1));
    EXPECT_EQ(link.State().command, kMotorCmdWrite);
    EXPECT_EQ(TickSent()[mot::kCommand], kMotorCmdWrite);
    params.POW_MOTOR2 = 33; // typed after the write went out
    Feed(Reply(1));
    EXPECT_EQ(link.State().command, kMotorCmdMonitor);
    EXPECT_EQ(link.BoardSet(), (MotorParams{14, 95, 14, 60, 0, 0}));

    EXPECT_EQ(events.log, (std::vector<std::string>{"connected", "Firmware Version:V1.5",
                                                    "report 14 80 14 60 command 33", "accepted"}));
    // A reopened port forgets the board's set: it may have restarted.
    link.OnPortOpened();
    EXPECT_FALSE(link.BoardSet());
}

// A board answering late still has reports in flight for the read requests
// sent before its first one came; a write asked for meanwhile goes out with
// the values it was asked with.
TEST_F(MotorLinkTest, LateReportsNeitherUndoNorDropAPendingWrite)
{
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(TickSent(), kReadRequest);
    Feed(Reply(17, 0, 15, {14, 80, 14, 60}));
    params.POL_MOTOR1 = 14, params.POW_MOTOR1 = 80, params.POL_MOTOR2 = 14, params.POW_MOTOR2 = 60;
    link.RequestCommand(kMotorCmdWrite);
    params.POW_MOTOR1 = 50;
    for (int i = 0; i < 3; ++i)
        Feed(Reply(17, 0, 15, {14, 80, 14, 60}));
    EXPECT_EQ(params.POW_MOTOR1, 50);
    EXPECT_EQ(TickSent()[5], kMotorCmdWrite);
    EXPECT_EQ(std::count_if(events.log.begin(), events.log.end(),
                            [](const std::string& s) { return s.rfind("report", 0) == 0; }),
              1);
    // Once the board took the values it is monitored: a report now is
    // still a late one, and only a read asked for again takes one.
    Feed(Reply(1));
    Feed(Reply(17, 0, 15, {14, 80, 14, 60}));
    EXPECT_EQ(params.POW_MOTOR1, 50);
    link.RequestCommand(kMotorCmdRead);
    Feed(Reply(17, 0, 15, {14, 50, 14, 60}));
    EXPECT_EQ(events.log.back(), "report 14 50 14 60 command 33");
}

TEST_F(MotorLinkTest, RequestIsRebuiltFromZeroEveryTick)
{
    params = MotorParams{14, 80, 14, 60, 0xFF, 0xFF};
    link.RequestCommand(kMotorCmdWrite);
    EXPECT_EQ(TickSent(), kWriteRequest); // directions never travel
    link.RequestCommand(kMotorCmdRead);
    EXPECT_EQ(TickSent(), kReadRequest); // nothing left of the parameters
    link.RequestCommand(99);
    const Frame unknown = TickSent();
    EXPECT_EQ(unknown[5], 0);
    EXPECT_TRUE(FrameCrcMatches(unknown));
}

TEST_F(MotorLinkTest, ClosedPortSendsNothingButCountsMisses)
{
    transport.open = false;
    for (int i = 0; i < 30; ++i)
        link.Tick();
    EXPECT_TRUE(transport.sent.empty());
    EXPECT_EQ(link.State().missCount, 26);
    // Never connected: the loss is reported as such, once.
    EXPECT_EQ(events.log, std::vector<std::string>{"lost, never connected"});
}

TEST_F(MotorLinkTest, TwentySixthSilentTickLosesTheLinkOnce)
{
    Feed(Reply(17, 0, 15, {1, 2, 3, 4}));
    link.RequestCommand(kMotorCmdWrite);
    link.SetFlashPending();
    link.Tick();
    Feed(Reply(1)); // raises the flash flag
    ASSERT_EQ(link.State().flashWriteFlag, 1);
    events.log.clear();
    for (int i = 0; i < 25; ++i)
        link.Tick();
    EXPECT_TRUE(link.State().motorConnected);
    EXPECT_TRUE(events.log.empty());
    EXPECT_EQ(transport.sent.back(), WithFlashFlag(Request({0xEB, 0x90, 0, 0, 0, 1, 1, 2, 3, 4}, 0, 0)));
    link.Tick();
    EXPECT_FALSE(link.State().motorConnected);
    EXPECT_EQ(events.log, std::vector<std::string>{"Motor disconnected!"});
    EXPECT_EQ(TickSent(), kReadRequest); // polling goes on, without the flash flag
    for (int i = 0; i < 100; ++i)
        link.Tick();
    EXPECT_EQ(events.log.size(), 1u);
    EXPECT_EQ(link.State().missCount, 26);
    EXPECT_TRUE(link.State().flashPending); // only a success clears it

    // The board answers again: connected once more, the write retried.
    Feed(Reply(17, 0, 15, {1, 2, 3, 4}));
    EXPECT_EQ(events.log.back(), "report 1 2 3 4 command 33");
    EXPECT_EQ(events.log[1], "connected");
    EXPECT_EQ(link.State().missCount, 0);
}

// Flash results and their effect on the next request, row by row.
struct FlashRow
{
    const char* name;
    std::vector<std::uint8_t> byte2s; // byte 2 of successive type 1 replies
    std::vector<std::string> log;
    std::uint8_t flagAfter;
    bool pendingAfter;
    std::uint8_t commandAfter;
    friend void PrintTo(const FlashRow& row, std::ostream* os) { *os << row.name; }
};

class MotorFlashTest : public MotorLinkTest, public testing::WithParamInterface<FlashRow>
{
};

TEST_P(MotorFlashTest, TwoStepWriteWithRetries)
{
    const FlashRow& row = GetParam();
    Feed(Reply(17, 0, 15, {14, 80, 14, 60}));
    events.log.clear();
    link.SetFlashPending();
    link.RequestCommand(kMotorCmdWrite);
    EXPECT_EQ(TickSent(), kWriteRequest); // first step: flag 0
    Feed(Reply(1));
    EXPECT_EQ(TickSent(), WithFlashFlag(kWriteRequest));
    for (std::uint8_t b : row.byte2s) {
        Feed(Reply(1, b));
        link.Tick();
    }
    EXPECT_EQ(events.log, row.log);
    EXPECT_EQ(link.State().flashWriteFlag, row.flagAfter);
    EXPECT_EQ(link.State().flashPending, row.pendingAfter);
    EXPECT_EQ(link.State().command, row.commandAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MotorFlashTest,
    testing::Values(FlashRow{"stored_at_once",
                             {1},
                             {"accepted, flash next", "Write flash successfully!", "accepted"},
                             0,
                             false,
                             kMotorCmdMonitor},
                    FlashRow{"refused_twice_then_stored",
                             {0x81, 0x81, 1},
                             {"accepted, flash next", "Write flash failed!", "accepted, flash next",
                              "Write flash failed!", "accepted, flash next", "Write flash successfully!",
                              "accepted"},
                             0,
                             false,
                             kMotorCmdMonitor},
                    FlashRow{"refused_keeps_retrying",
                             {0x81, 0x81, 0x81},
                             {"accepted, flash next", "Write flash failed!", "accepted, flash next",
                              "Write flash failed!", "accepted, flash next", "Write flash failed!",
                              "accepted, flash next"},
                             1,
                             true,
                             kMotorCmdWrite},
                    FlashRow{"other_byte2_is_no_result",
                             {0x02, 0x80},
                             {"accepted, flash next", "accepted, flash next", "accepted, flash next"},
                             1,
                             true,
                             kMotorCmdWrite}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MotorLinkTest, RefusedWriteKeepsSendingCommandOneWithTheFlashFlag)
{
    link.SetFlashPending();
    link.RequestCommand(kMotorCmdWrite);
    params = MotorParams{14, 80, 14, 60, 0, 0};
    link.Tick();
    Feed(Reply(1));
    for (int attempt = 0; attempt < 5; ++attempt) {
        EXPECT_EQ(TickSent(), WithFlashFlag(kWriteRequest)) << attempt;
        Feed(Reply(1, 0x81));
    }
}

TEST_F(MotorLinkTest, FirmwareVersionIsReportedOnlyWhenItChanges)
{
    for (std::uint8_t v : {15, 15, 16, 16, 15, 0, 0})
        Feed(Reply(33, 0, v, {0, 0, 0, 0}));
    std::vector<std::string> versions;
    for (const auto& line : events.log)
        if (line.rfind("Firmware", 0) == 0)
            versions.push_back(line);
    EXPECT_EQ(versions, (std::vector<std::string>{"Firmware Version:V1.5", "Firmware Version:V1.6",
                                                  "Firmware Version:V1.5", "Firmware Version:V0.0"}));
}

TEST_F(MotorLinkTest, UnknownReplyTypeOnlyKeepsTheLinkAlive)
{
    for (int i = 0; i < 20; ++i)
        link.Tick();
    Feed(Reply(18, 0, 15, {9, 9, 9, 9}));
    EXPECT_EQ(link.State().missCount, 0);
    EXPECT_EQ(link.State().command, kMotorCmdRead);
    EXPECT_EQ(params, MotorParams{});
    EXPECT_EQ(events.log, (std::vector<std::string>{"connected", "Firmware Version:V1.5"}));
}

TEST_F(MotorLinkTest, BadCrcAndStrayBytesAreSkipped)
{
    Frame bad = Reply(17, 0, 15, {5, 5, 5, 5});
    bad[31] ^= 1;
    Bytes stream = {0x00, 0xEB, 0x12, 0xEB};
    stream.insert(stream.end(), bad.begin(), bad.end());
    const Frame good = Reply(33, 0, 15, {0x2C, 0x05, 0xF4, 0x01});
    stream.insert(stream.end(), good.begin(), good.end());
    link.OnBytes(stream.data(), stream.size());
    EXPECT_EQ(params, MotorParams{});
    EXPECT_EQ(link.RepliesHandled(), 1u);
    EXPECT_EQ(events.log.back(), "11.734 V 2.014 A");
}

// The owner's side: notifications drain the link into FrameIntake, which
// feeds the engine only once a frame's worth is buffered.
struct FakeLink
{
    std::deque<std::uint8_t> queued;
    bool HasRxQueue() const { return true; }
    std::uint32_t QueuedCount() const { return static_cast<std::uint32_t>(queued.size()); }
    std::uint32_t Read(std::uint8_t* dest, std::uint32_t n, std::chrono::milliseconds)
    {
        std::uint32_t i = 0;
        for (; i < n && !queued.empty(); ++i) {
            dest[i] = queued.front();
            queued.pop_front();
        }
        return i;
    }
};

struct IntakeRow
{
    const char* name;
    std::vector<std::size_t> notifications; // bytes arriving per notification
    std::vector<std::size_t> handledAfter;  // replies handled after each notification
    friend void PrintTo(const IntakeRow& row, std::ostream* os) { *os << row.name; }
};

class MotorIntakeTest : public MotorLinkTest, public testing::WithParamInterface<IntakeRow>
{
};

TEST_P(MotorIntakeTest, RepliesAreHandledWhenWholeAndInOrder)
{
    const IntakeRow& row = GetParam();
    Bytes stream;
    std::size_t total = 0;
    for (std::size_t n : row.notifications)
        total += n;
    // Replies with a running voltage, so their order shows in the log.
    for (std::size_t i = 0; stream.size() < total; ++i) {
        const Frame f =
            Reply(33, 0, 15, {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 0, 0});
        stream.insert(stream.end(), f.begin(), f.end());
    }
    FakeLink port;
    FrameIntake intake;
    std::size_t at = 0;
    for (std::size_t k = 0; k < row.notifications.size(); ++k) {
        port.queued.insert(port.queued.end(), stream.begin() + static_cast<long>(at),
                           stream.begin() + static_cast<long>(at + row.notifications[k]));
        at += row.notifications[k];
        intake.OnPortReceived(port, [&](const std::uint8_t* b, std::uint32_t n) { link.OnBytes(b, n); });
        EXPECT_EQ(link.RepliesHandled(), row.handledAfter[k]) << "after notification " << k;
    }
    std::size_t expectedRaw = 0;
    for (const auto& line : events.log) {
        if (line.find(" V ") == std::string::npos)
            continue;
        char text[40];
        std::snprintf(text, sizeof text, "%.3f V 0.000 A",
                      static_cast<double>(expectedRaw) * kMotorVoltsPerUnit);
        EXPECT_EQ(line, text);
        ++expectedRaw;
    }
    EXPECT_EQ(expectedRaw, row.handledAfter.back());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MotorIntakeTest,
    testing::Values(IntakeRow{"split_20_and_12", {20, 12}, {0, 1}}, IntakeRow{"two_together", {64}, {2}},
                    IntakeRow{"short_pieces_wait", {10, 10, 10, 2}, {0, 0, 0, 1}},
                    IntakeRow{"more_than_1024_at_once", {32 * 100}, {100}},
                    IntakeRow{"backlog_then_halves", {32 * 40 + 16, 16, 32}, {40, 40, 42}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MotorLinkTest, SharedReceiverCompletesAFrameCutOffByTheLastEngine)
{
    FrameReceiver shared(kMotorHeader0, kMotorHeader1);
    const Frame f = Reply(17, 0, 15, {7, 8, 9, 10});
    {
        MotorParams first;
        Recorder quiet;
        MotorLink gone(first, quiet);
        quiet.link = &gone;
        gone.UseReceiver(shared);
        gone.OnBytes(f.data(), 12);
    }
    link.UseReceiver(shared);
    link.OnBytes(f.data() + 12, 20);
    EXPECT_EQ(params, (MotorParams{7, 8, 9, 10, 0, 0}));
}

} // namespace
} // namespace qav
