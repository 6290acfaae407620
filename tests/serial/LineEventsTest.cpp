#include "serial/LineEvents.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace qav {
namespace {

// A port whose answers are scripted and whose calls are logged.
class ScriptedPort : public ILinePort
{
public:
    bool pendingOk = true;
    std::uint32_t pending = 0;
    std::vector<std::uint8_t> incoming; // what a read delivers, up to want
    bool modemOk = true;
    std::uint32_t modem = 0;
    bool errorsOk = true;
    std::uint32_t errors = 0;

    std::vector<std::string> calls;
    std::uint32_t lastWant = 0;

    bool PendingCount(std::uint32_t& p) override
    {
        calls.push_back("pending");
        p = pending;
        return pendingOk;
    }
    std::uint32_t ReadBatch(std::uint8_t* dest, std::uint32_t want) override
    {
        calls.push_back("read");
        lastWant = want;
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(want, incoming.size()));
        std::copy_n(incoming.begin(), n, dest);
        incoming.erase(incoming.begin(), incoming.begin() + n);
        return n;
    }
    bool ModemStatus(std::uint32_t& bits) override
    {
        calls.push_back("modem");
        bits = modem;
        return modemOk;
    }
    void ClearBreak() override { calls.push_back("clear-break"); }
    bool TakeErrors(std::uint32_t& bits) override
    {
        calls.push_back("errors");
        bits = errors;
        return errorsOk;
    }
};

class Dispatch : public ::testing::Test
{
protected:
    DispatchResult Run(std::uint32_t events) { return DispatchLineEvents(events, d_); }

    ScriptedPort port_;
    CBlockQueue queue_;
    std::vector<std::uint8_t> scratch_;
    std::atomic<std::uint32_t> received_{0};
    std::vector<std::pair<std::uint32_t, std::intptr_t>> posted_;
    bool stopping_ = false; // the link has moved on to another session
    LineDispatch d_{port_,
                    scratch_,
                    received_,
                    [this](const std::uint8_t* bytes, std::uint32_t n) {
                        if (!stopping_)
                            queue_.Append(bytes, n);
                        return !stopping_;
                    },
                    [this](std::uint32_t m, std::intptr_t l) {
                        if (!stopping_)
                            posted_.emplace_back(m, l);
                        return !stopping_;
                    },
                    [this] { return queue_.QueuedCount() >= threshold_; }};
    std::uint32_t threshold_ = 1;
};

// The receive step asks for what is pending, never more: it hands on what
// has arrived instead of waiting for a batch to fill.
struct WantRow
{
    bool pendingOk;
    std::uint32_t pending;
    std::uint32_t want;
};
class ReceiveWantRows : public Dispatch, public ::testing::WithParamInterface<WantRow>
{
};
TEST_P(ReceiveWantRows, ReadsWhatIsPendingUpToTheCap)
{
    port_.pendingOk = GetParam().pendingOk;
    port_.pending = GetParam().pending;
    port_.incoming.assign(100, 0x5A);
    const auto r = Run(EV_RXCHAR);
    EXPECT_EQ(port_.lastWant, GetParam().want);
    EXPECT_EQ(r.bytesRead, std::min<std::uint32_t>(GetParam().want, 100));
    EXPECT_LE(scratch_.size(), kMaxReceiveBatch);
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0], std::make_pair(WM_PORT_RECEIVED, std::intptr_t{0}));
}
INSTANTIATE_TEST_SUITE_P(Rows, ReceiveWantRows,
                         ::testing::Values(WantRow{true, 1, 1}, WantRow{true, 10, 10}, WantRow{true, 32, 32},
                                           WantRow{true, 0x10000000u, kMaxReceiveBatch},
                                           WantRow{true, 0xFFFFFFFFu, kMaxReceiveBatch},
                                           WantRow{false, 0, kUnknownPendingRead}));

TEST_F(Dispatch, ReceiveStepQueuesWhatCameAndNotifiesOnce)
{
    port_.pending = 12;
    port_.incoming = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const auto r = Run(EV_RXCHAR);
    EXPECT_EQ(r.bytesRead, 12u);
    EXPECT_TRUE(r.received);
    EXPECT_EQ(queue_.QueuedCount(), 12u);
    EXPECT_EQ(received_.load(), 12u);
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0], std::make_pair(WM_PORT_RECEIVED, std::intptr_t{0}));
}

// Bytes are always queued at once; the owner is told when the queue holds
// what it asked for, and always when a step read nothing (a gone device).
struct ThresholdRow
{
    std::uint32_t alreadyQueued;
    std::uint32_t arriving;
    std::uint32_t threshold;
    bool notified;
};
class ThresholdRows : public Dispatch, public ::testing::WithParamInterface<ThresholdRow>
{
};
TEST_P(ThresholdRows, NotifiesOnceTheOwnerHasEnough)
{
    const ThresholdRow row = GetParam();
    const std::vector<std::uint8_t> before(row.alreadyQueued, 0x11);
    queue_.Append(before.data(), row.alreadyQueued);
    threshold_ = row.threshold;
    port_.pending = row.arriving;
    port_.pendingOk = row.arriving != 0;
    port_.incoming.assign(row.arriving, 0x22);
    Run(EV_RXCHAR);
    EXPECT_EQ(queue_.QueuedCount(), row.alreadyQueued + row.arriving);
    EXPECT_EQ(posted_.size(), row.notified ? 1u : 0u);
}
INSTANTIATE_TEST_SUITE_P(Rows, ThresholdRows,
                         ::testing::Values(ThresholdRow{0, 1, 1, true}, ThresholdRow{0, 1, 32, false},
                                           ThresholdRow{0, 31, 32, false}, ThresholdRow{0, 32, 32, true},
                                           ThresholdRow{31, 1, 32, true}, ThresholdRow{10, 5, 22, false},
                                           ThresholdRow{0, 0, 32, true}));

TEST_F(Dispatch, NothingPendingMeansNoReadAndNoNotification)
{
    port_.pending = 0;
    const auto r = Run(EV_RXCHAR);
    EXPECT_FALSE(r.received);
    EXPECT_EQ(port_.calls, std::vector<std::string>{"pending"});
    EXPECT_TRUE(posted_.empty());
}

TEST_F(Dispatch, UnreadableStatusStillReadsAndNotifies)
{
    // The removed-device case: the owner hears about it even with nothing
    // to read.
    port_.pendingOk = false;
    const auto r = Run(EV_RXCHAR);
    EXPECT_TRUE(r.received);
    EXPECT_EQ(r.bytesRead, 0u);
    EXPECT_EQ(queue_.QueuedCount(), 0u);
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0].first, WM_PORT_RECEIVED);
}

TEST_F(Dispatch, BytesOfSuccessiveStepsQueueInOrder)
{
    port_.pending = 3;
    port_.incoming = {1, 2, 3};
    Run(EV_RXCHAR);
    port_.pending = 2;
    port_.incoming = {4, 5};
    Run(EV_RXCHAR);
    std::uint8_t out[8] = {};
    ASSERT_EQ(queue_.Take(out, 8), 5u);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 5), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
}

TEST_F(Dispatch, AStoppingLinkDropsItsReadAndPostsNothing)
{
    port_.pending = 4;
    port_.incoming = {1, 2, 3, 4};
    stopping_ = true;
    const auto r = Run(EV_RXCHAR | EV_CTS | EV_ERR);
    EXPECT_FALSE(r.received);
    EXPECT_EQ(queue_.QueuedCount(), 0u);
    EXPECT_TRUE(posted_.empty());
    EXPECT_EQ(std::count(port_.calls.begin(), port_.calls.end(), "modem"), 0) << "nothing after the stop";
}

TEST_F(Dispatch, EveryEventPostsInTheFixedOrder)
{
    port_.pending = 1;
    port_.incoming = {7};
    port_.modem = MS_CTS_ON | MS_RLSD_ON;
    port_.errors = kLineErrorFrame | kLineErrorOverrun;
    Run(kLinkEventMask);
    const std::vector<std::pair<std::uint32_t, std::intptr_t>> expected{
        {WM_PORT_RECEIVED, 0}, {WM_PORT_TXEMPTY, 0}, {WM_PORT_CTS, 1},   {WM_PORT_DSR, 0},
        {WM_PORT_RING, 0},     {WM_PORT_CARRIER, 1}, {WM_PORT_BREAK, 0}, {WM_PORT_ERROR, 0x0A},
    };
    EXPECT_EQ(posted_, expected);
    // The break is cleared before it is reported.
    const auto clear = std::find(port_.calls.begin(), port_.calls.end(), "clear-break");
    const auto errors = std::find(port_.calls.begin(), port_.calls.end(), "errors");
    EXPECT_LT(clear, errors);
}

struct ModemRow
{
    std::uint32_t event;
    std::uint32_t message;
    std::uint32_t status;
    bool statusOk;
    std::intptr_t lParam;
};
class ModemRows : public Dispatch, public ::testing::WithParamInterface<ModemRow>
{
};
TEST_P(ModemRows, LineLevelAtDispatchIsTheParameter)
{
    const ModemRow row = GetParam();
    port_.modem = row.status;
    port_.modemOk = row.statusOk;
    Run(row.event);
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0], std::make_pair(row.message, row.lParam));
}
INSTANTIATE_TEST_SUITE_P(Rows, ModemRows,
                         ::testing::Values(ModemRow{EV_CTS, WM_PORT_CTS, MS_CTS_ON, true, 1},
                                           ModemRow{EV_CTS, WM_PORT_CTS, 0, true, 0},
                                           ModemRow{EV_CTS, WM_PORT_CTS, MS_DSR_ON | MS_RING_ON | MS_RLSD_ON,
                                                    true, 0},
                                           ModemRow{EV_CTS, WM_PORT_CTS, MS_CTS_ON, false, 0},
                                           ModemRow{EV_DSR, WM_PORT_DSR, MS_DSR_ON, true, 1},
                                           ModemRow{EV_DSR, WM_PORT_DSR, MS_CTS_ON, true, 0},
                                           ModemRow{EV_RING, WM_PORT_RING, MS_RING_ON, true, 1},
                                           ModemRow{EV_RING, WM_PORT_RING, MS_RING_ON, false, 0},
                                           ModemRow{EV_RLSD, WM_PORT_CARRIER, MS_RLSD_ON, true, 1},
                                           ModemRow{EV_RLSD, WM_PORT_CARRIER, 0xFF & ~MS_RLSD_ON, true, 0}));

TEST_F(Dispatch, ErrorWithUnreadableBitsReportsZero)
{
    port_.errors = kLineErrorParity;
    port_.errorsOk = false;
    Run(EV_ERR);
    ASSERT_EQ(posted_.size(), 1u);
    EXPECT_EQ(posted_[0], std::make_pair(WM_PORT_ERROR, std::intptr_t{0}));
}

struct ChangeRow
{
    std::uint32_t before;
    std::uint32_t after;
    std::uint32_t events;
};
class ModemChangeRows : public ::testing::TestWithParam<ChangeRow>
{
};
TEST_P(ModemChangeRows, OnlyChangedLinesRaiseEvents)
{
    EXPECT_EQ(ModemChangeEvents(GetParam().before, GetParam().after), GetParam().events);
}
INSTANTIATE_TEST_SUITE_P(Rows, ModemChangeRows,
                         ::testing::Values(ChangeRow{0, 0, 0}, ChangeRow{MS_CTS_ON, MS_CTS_ON, 0},
                                           ChangeRow{0, MS_CTS_ON, EV_CTS}, ChangeRow{MS_CTS_ON, 0, EV_CTS},
                                           ChangeRow{MS_DSR_ON, MS_RING_ON, EV_DSR | EV_RING},
                                           ChangeRow{0, MS_RLSD_ON, EV_RLSD},
                                           ChangeRow{0, MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON,
                                                     EV_CTS | EV_DSR | EV_RING | EV_RLSD}));

struct CountRow
{
    const char* name;
    LineCounts before;
    LineCounts after;
    std::uint32_t bits;
    std::uint32_t events;
};
class LineCountRows : public ::testing::TestWithParam<CountRow>
{
};
TEST_P(LineCountRows, GrownCountsBecomeErrorBitsAndEvents)
{
    const CountRow& row = GetParam();
    EXPECT_EQ(LineErrorBits(row.before, row.after), row.bits);
    EXPECT_EQ(LineCountEvents(row.before, row.after), row.events);
}
INSTANTIATE_TEST_SUITE_P(
    Rows, LineCountRows,
    ::testing::Values(CountRow{"none", {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, 0, 0},
                      CountRow{"break", {0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, kLineErrorBreak, EV_BREAK},
                      CountRow{"frame", {0, 0, 0, 0, 0}, {0, 3, 0, 0, 0}, kLineErrorFrame, EV_ERR},
                      CountRow{"overrun", {0, 0, 0, 0, 0}, {0, 0, 1, 0, 0}, kLineErrorOverrun, EV_ERR},
                      CountRow{"parity", {0, 0, 0, 0, 0}, {0, 0, 0, 1, 0}, kLineErrorParity, EV_ERR},
                      CountRow{"buffer", {0, 0, 0, 0, 0}, {0, 0, 0, 0, 9}, kLineErrorRxOver, EV_ERR},
                      CountRow{
                          "wrapped", {0, 0xFFFFFFFFu, 0, 0, 0}, {0, 0, 0, 0, 0}, kLineErrorFrame, EV_ERR},
                      CountRow{"break and frame",
                               {5, 5, 0, 0, 0},
                               {6, 6, 0, 0, 0},
                               kLineErrorBreak | kLineErrorFrame,
                               EV_BREAK | EV_ERR}),
    [](const auto& info) {
        std::string n = info.param.name;
        std::replace(n.begin(), n.end(), ' ', '_');
        return n;
    });

} // namespace
} // namespace qav
