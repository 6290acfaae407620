#include "protocol/ControllerProtocol.h"
#include "protocol/FrameIntake.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace qav {
namespace {

using Bytes = std::vector<std::uint8_t>;

Frame ControllerFrame(std::uint8_t counter, std::uint8_t type, std::uint8_t fill = 0)
{
    Frame f{};
    f[0] = kControllerHeader0;
    f[1] = kControllerHeader1;
    f[2] = counter;
    f[13] = type;
    for (std::size_t i = 14; i < 30; ++i)
        f[i] = fill;
    SealFrame(f);
    return f;
}

void Add(Bytes& out, const Frame& f)
{
    out.insert(out.end(), f.begin(), f.end());
}

struct Collector
{
    std::vector<Frame> frames;
    void operator()(const Frame& f) { frames.push_back(f); }
};

std::vector<Frame> FeedAll(FrameReceiver& rx, const Bytes& bytes)
{
    Collector c;
    rx.Feed(bytes.data(), bytes.size(), c);
    return c.frames;
}

TEST(FrameReceiver, RepeatedFirstHeaderByteStillFindsTheFrame)
{
    const Frame f = ControllerFrame(9, 0);
    Bytes bytes{0xAB};
    Add(bytes, f); // AB AB CD ...
    FrameReceiver rx(kControllerHeader0, kControllerHeader1);
    const auto got = FeedAll(rx, bytes);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], f);
}

TEST(FrameReceiver, GarbageBeforeHeaderIsSkipped)
{
    const Frame f = ControllerFrame(1, 0x81, 0x55);
    Bytes bytes{0x00, 0xFF, 0xAB, 0x12, 0xCD, 0xAB};
    Bytes tail(f.begin() + 1, f.end()); // starts with CD after the AB above
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    FrameReceiver rx(kControllerHeader0, kControllerHeader1);
    const auto got = FeedAll(rx, bytes);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], f);
}

TEST(FrameReceiver, FrameSplitAcrossFeedsIsDecodedOnceComplete)
{
    const Frame f = ControllerFrame(3, 0);
    FrameReceiver rx(kControllerHeader0, kControllerHeader1);
    Collector c;
    for (std::size_t cut : {std::size_t{1}, std::size_t{2}, std::size_t{17}, std::size_t{31}}) {
        c.frames.clear();
        rx.Feed(f.data(), cut, c);
        EXPECT_TRUE(c.frames.empty()) << cut;
        rx.Feed(f.data() + cut, kFrameSize - cut, c);
        ASSERT_EQ(c.frames.size(), 1u) << cut;
        EXPECT_EQ(c.frames[0], f);
    }
}

TEST(FrameReceiver, BackToBackFramesAreDeliveredInOrder)
{
    Bytes bytes;
    Add(bytes, ControllerFrame(1, 0x81));
    Add(bytes, ControllerFrame(2, 0x82));
    FrameReceiver rx(kControllerHeader0, kControllerHeader1);
    const auto got = FeedAll(rx, bytes);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0][2], 1);
    EXPECT_EQ(got[1][2], 2);
}

TEST(FrameReceiver, CorruptFrameIsDroppedAndTheNextOneFound)
{
    Frame bad = ControllerFrame(1, 0);
    bad[20] ^= 0x04;
    const Frame good = ControllerFrame(2, 0);
    Bytes bytes;
    Add(bytes, bad);
    Add(bytes, good);
    FrameReceiver rx(kControllerHeader0, kControllerHeader1);
    const auto got = FeedAll(rx, bytes);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], good);
}

TEST(FrameReceiver, HeaderInsidePayloadIsTakenAsPayload)
{
    Frame f = ControllerFrame(0, 0);
    f[14] = 0xAB;
    f[15] = 0xCD;
    SealFrame(f);
    FrameReceiver rx(kControllerHeader0, kControllerHeader1);
    const auto got = FeedAll(rx, Bytes(f.begin(), f.end()));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], f);
}

TEST(FrameReceiver, OtherLinksHeaderIsIgnored)
{
    Frame motor{};
    motor[0] = 0xEB;
    motor[1] = 0x90;
    SealFrame(motor);
    FrameReceiver controller(kControllerHeader0, kControllerHeader1);
    EXPECT_TRUE(FeedAll(controller, Bytes(motor.begin(), motor.end())).empty());
    FrameReceiver motorRx(0xEB, 0x90);
    EXPECT_EQ(FeedAll(motorRx, Bytes(motor.begin(), motor.end())).size(), 1u);
}

TEST(FrameReceiver, CutOffFrameIsCompletedByLaterBytes)
{
    // A close mid-frame does not reset the receiver: the next bytes fill the
    // old frame, which then fails its CRC, and hunting resumes after it.
    const Frame f = ControllerFrame(5, 0);
    FrameReceiver rx(kControllerHeader0, kControllerHeader1);
    Collector c;
    rx.Feed(f.data(), 10, c);
    Bytes next;
    Add(next, f);
    Add(next, f);
    rx.Feed(next.data(), next.size(), c);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0], f);
    EXPECT_EQ(rx.phase(), FrameReceiver::Phase::Hunting);
}

// A link stand-in with the read interface FrameIntake uses.
struct FakeLink
{
    std::deque<std::uint8_t> queued;
    int reads = 0;
    bool HasRxQueue() const { return true; }
    std::uint32_t QueuedCount() const { return static_cast<std::uint32_t>(queued.size()); }
    std::uint32_t Read(std::uint8_t* dest, std::uint32_t n, std::chrono::milliseconds)
    {
        ++reads;
        std::uint32_t i = 0;
        for (; i < n && !queued.empty(); ++i) {
            dest[i] = queued.front();
            queued.pop_front();
        }
        return i;
    }
};

TEST(FrameIntake, HoldsBackUntilAFramesWorthIsBuffered)
{
    const Frame f = ControllerFrame(4, 0);
    FakeLink link;
    link.queued.assign(f.begin(), f.begin() + 31);
    FrameIntake intake;
    Bytes fed;
    auto feed = [&](const std::uint8_t* b, std::uint32_t n) { fed.insert(fed.end(), b, b + n); };
    intake.OnPortReceived(link, feed);
    EXPECT_TRUE(fed.empty());
    EXPECT_EQ(intake.Buffered(), 31u);
    link.queued.push_back(f[31]);
    intake.OnPortReceived(link, feed);
    EXPECT_EQ(fed, Bytes(f.begin(), f.end()));
    EXPECT_EQ(intake.Buffered(), 0u);
}

TEST(FrameIntake, LargeBacklogReachesTheReceiverWholeAndInOrder)
{
    FakeLink link;
    Bytes sent;
    for (int i = 0; i < 200; ++i) { // 6400 bytes: many read chunks and working buffers
        const Frame f = ControllerFrame(static_cast<std::uint8_t>(i), 0, static_cast<std::uint8_t>(i * 7));
        Add(sent, f);
    }
    link.queued.assign(sent.begin(), sent.end());
    FrameIntake intake;
    FrameReceiver rx(kControllerHeader0, kControllerHeader1);
    Bytes fed;
    std::vector<std::uint8_t> counters;
    intake.OnPortReceived(link, [&](const std::uint8_t* b, std::uint32_t n) {
        EXPECT_LE(n, FrameIntake::kWorkingSize);
        fed.insert(fed.end(), b, b + n);
        rx.Feed(b, n, [&](const Frame& f) { counters.push_back(f[2]); });
    });
    EXPECT_EQ(fed, sent);
    ASSERT_EQ(counters.size(), 200u);
    for (std::size_t i = 0; i < counters.size(); ++i)
        EXPECT_EQ(counters[i], static_cast<std::uint8_t>(i));
    EXPECT_GE(link.reads, 7); // drained in pieces of at most 1023 bytes
}

TEST(FrameIntake, ClearDropsBufferedBytes)
{
    FakeLink link;
    link.queued.assign(20, 0xAB);
    FrameIntake intake;
    intake.OnPortReceived(link, [](const std::uint8_t*, std::uint32_t) { FAIL(); });
    intake.Clear();
    EXPECT_EQ(intake.Buffered(), 0u);
}

} // namespace
} // namespace qav
