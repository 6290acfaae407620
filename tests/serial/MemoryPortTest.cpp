// CSerialLink over the in-memory port: the link's own rules (sessions,
// receive queue, notify threshold, held and refused writes, hang-ups) with a
// scripted device, waiting only for what the device reports, never for the
// clock.
#include "platform/PortMap.h"
#include "serial/MemoryPort.h"
#include "serial/PortList.h"
#include "serial/SerialLink.h"
#include "support/BytePattern.h"
#include "support/Patience.h"
#include "support/ScopedPortsDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qav {
namespace {

using namespace std::chrono_literals;

using test::kPatience;
using test::Pattern;

constexpr int kPort = 201;

class MemoryLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        link_.SetMode(CSerialLink::kOwnerMode);
        link_.SetOwner(owner_);
    }

    void OpenLink()
    {
        const Result opened = OpenLinkSequence(link_, kPort);
        ASSERT_TRUE(opened) << opened.message;
    }
    void Idle() { ASSERT_TRUE(port_->WaitUntilIdle(kPatience)) << "the event thread never settled"; }
    void DropNotes()
    {
        while (owner_->TryTake()) {
        }
    }

    // Drains the link the way the owners do, one notification at a time.
    std::vector<std::uint8_t> Receive(std::size_t n)
    {
        std::vector<std::uint8_t> got;
        while (got.size() < n) {
            const auto note = owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience);
            if (!note)
                break;
            EXPECT_EQ(note->wParam, kPort);
            std::uint8_t buffer[1023];
            do {
                const std::uint32_t k = link_.Read(buffer, sizeof buffer, CSerialLink::kInfinite);
                got.insert(got.end(), buffer, buffer + k);
            } while (link_.QueuedCount() != 0);
        }
        return got;
    }

    ScopedMemoryPort port_{kPort};
    std::shared_ptr<NotifyQueue> owner_ = std::make_shared<NotifyQueue>();
    CSerialLink link_;
};

TEST_F(MemoryLink, OpensWithTheLinkSettingsAndADiscardedDriver)
{
    OpenLink();
    EXPECT_TRUE(port_->IsOpen());
    EXPECT_EQ(link_.DevicePath(), "COM201 (in memory)");
    EXPECT_EQ(port_->Line(), (LineRequest{115200, CSerialLink::kNoParity, 8, CSerialLink::kOneStopBit}));
    EXPECT_EQ(port_->Purges(), 1);
    EXPECT_EQ(link_.NativeHandle(), -1);
    EXPECT_EQ(link_.SetLine(115200, CSerialLink::kNoParity, 9, CSerialLink::kOneStopBit).code, EINVAL);
    link_.Close(CSerialLink::kCloseWaitMs);
    EXPECT_TRUE(port_->WaitUntilReleased(kPatience));
}

TEST_F(MemoryLink, BytesArriveWholeAndInOrderHoweverTheDeviceCutsThem)
{
    struct Case
    {
        const char* what;
        std::size_t total;
        std::size_t piece; // 0: all at once
    };
    const Case cases[] = {
        {"one frame", 32, 0},
        {"a byte at a time", 96, 1},
        {"pieces of seven", 3 * 32, 7},
        {"500 frames back to back", 32 * 500, 0},
    };
    std::uint32_t total = 0;
    for (const Case& c : cases) {
        OpenLink();
        const auto bytes = Pattern(c.total, static_cast<std::uint8_t>(c.total));
        const std::size_t piece = c.piece ? c.piece : bytes.size();
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            port_->Send(std::span(bytes).subspan(at, std::min(piece, bytes.size() - at)));
        EXPECT_EQ(Receive(bytes.size()), bytes) << c.what;
        total += static_cast<std::uint32_t>(c.total);
        EXPECT_EQ(link_.ReceivedTotal(), total) << c.what;
    }
}

TEST_F(MemoryLink, AnOwnerWaitingForAFrameIsToldOnlyOnceItIsThere)
{
    OpenLink();
    link_.SetNotifyThreshold(32);
    const auto frame = Pattern(32, 13);
    port_->Send(std::span(frame).first(20));
    Idle();
    EXPECT_EQ(link_.QueuedCount(), 20u);
    EXPECT_EQ(owner_->Size(), 0u) << "told of part of a frame";
    port_->Send(std::span(frame).subspan(20));
    EXPECT_EQ(Receive(32), frame);

    // A device that goes away is reported whatever the threshold.
    port_->HangUp();
    EXPECT_TRUE(owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience));
    EXPECT_TRUE(link_.FarSideGone());
}

TEST_F(MemoryLink, BytesLeftQueuedNeverReachTheNextOpening)
{
    OpenLink();
    port_->Send(Pattern(48, 1));
    Idle();
    ASSERT_EQ(link_.QueuedCount(), 48u);
    OpenLink(); // as "Open COM Port" again
    EXPECT_EQ(link_.QueuedCount(), 0u);
    DropNotes();
    const auto fresh = Pattern(32, 2);
    port_->Send(fresh);
    EXPECT_EQ(Receive(32), fresh);
    Idle();
    EXPECT_EQ(link_.QueuedCount(), 0u);
}

TEST_F(MemoryLink, WrittenFramesReachTheDeviceAndTransmitEmptyFollowsEach)
{
    OpenLink();
    for (std::uint8_t i = 0; i < 4; ++i) {
        const auto frame = Pattern(32, i);
        EXPECT_EQ(link_.Write(frame.data(), 32), WriteResult::Accepted);
        EXPECT_EQ(port_->WaitForWritten(32, kPatience), frame) << "frame " << int(i);
        const auto note = owner_->WaitForMessage(WM_PORT_TXEMPTY, kPatience);
        ASSERT_TRUE(note) << "frame " << int(i);
        EXPECT_EQ(note->wParam, kPort);
    }
    EXPECT_EQ(link_.SentTotal(), 128u);
}

TEST_F(MemoryLink, AScriptedDeviceAnswersEveryFrame)
{
    // The device echoes each frame with every byte inverted.
    port_->SetResponder([](std::span<const std::uint8_t> written) {
        std::vector<std::uint8_t> answer(written.begin(), written.end());
        for (auto& b : answer)
            b = static_cast<std::uint8_t>(~b);
        return answer;
    });
    OpenLink();
    for (std::uint8_t i = 0; i < 3; ++i) {
        auto frame = Pattern(32, i);
        ASSERT_EQ(link_.Write(frame.data(), 32), WriteResult::Accepted);
        for (auto& b : frame)
            b = static_cast<std::uint8_t>(~b);
        EXPECT_EQ(Receive(32), frame) << "frame " << int(i);
    }
    EXPECT_TRUE(port_->TakeWritten().empty()) << "the responder took every byte";
}

TEST_F(MemoryLink, AStalledDeviceGetsWholeFramesInOrderNeverPieces)
{
    OpenLink();
    port_->SetWriteCapacity(100);
    struct Step
    {
        WriteResult result;
        std::uint32_t sentTotal;
    };
    // 100 bytes of room: three frames, then 4 bytes of the fourth with the
    // rest kept; the fifth cannot go while that rest waits.
    const Step steps[] = {{WriteResult::Accepted, 32},
                          {WriteResult::Accepted, 64},
                          {WriteResult::Accepted, 96},
                          {WriteResult::Held, 128},
                          {WriteResult::Refused, 128}};
    std::vector<std::uint8_t> expected;
    for (std::uint8_t i = 0; i < std::size(steps); ++i) {
        const auto frame = Pattern(32, static_cast<std::uint8_t>(40 * i));
        Result why;
        EXPECT_EQ(link_.Write(frame.data(), 32, &why), steps[i].result) << "frame " << int(i);
        EXPECT_EQ(link_.SentTotal(), steps[i].sentTotal) << "frame " << int(i);
        if (steps[i].result != WriteResult::Refused)
            expected.insert(expected.end(), frame.begin(), frame.end());
        else
            EXPECT_EQ(why.code, EAGAIN) << "a dropped frame is reported";
    }
    std::vector<std::uint8_t> got = port_->TakeWritten();
    EXPECT_EQ(got.size(), 100u);

    // The device reads again: the kept rest goes out first, then the frame.
    const auto next = Pattern(32, 250);
    EXPECT_EQ(link_.Write(next.data(), 32), WriteResult::Accepted);
    expected.insert(expected.end(), next.begin(), next.end());
    const auto rest = port_->TakeWritten();
    got.insert(got.end(), rest.begin(), rest.end());
    EXPECT_EQ(got, expected) << "bytes reordered or a frame cut";
}

TEST_F(MemoryLink, ADeviceHeldOpenIsBusyForASecondLink)
{
    OpenLink();
    CSerialLink second;
    second.SetMode(CSerialLink::kOwnerMode);
    const Result busy = OpenLinkSequence(second, kPort);
    EXPECT_EQ(busy.code, EBUSY);
    EXPECT_NE(busy.message.find("busy"), std::string::npos) << busy.message;
    link_.Close(CSerialLink::kCloseWaitMs);
    const Result reopened = OpenLinkSequence(second, kPort);
    EXPECT_TRUE(reopened) << reopened.message;
}

TEST_F(MemoryLink, AHangUpIsReportedOnceAndLeavesNothingToReadOrWrite)
{
    OpenLink();
    port_->Send(Pattern(10));
    port_->HangUp();
    ASSERT_TRUE(owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience));
    EXPECT_TRUE(link_.FarSideGone());
    Idle();
    std::uint8_t buffer[64];
    link_.Read(buffer, sizeof buffer, std::chrono::milliseconds{0});
    const auto frame = Pattern(32);
    Result why;
    EXPECT_EQ(link_.Write(frame.data(), 32, &why), WriteResult::Refused);
    EXPECT_EQ(why.code, EIO);
    EXPECT_NE(why.message.find("cannot write"), std::string::npos) << why.message;

    // The device back under its name is reached by the owner's reconnect.
    MemoryDevice& replugged = port_.Replug();
    ASSERT_TRUE(OpenLinkSequence(link_, kPort));
    EXPECT_FALSE(link_.FarSideGone());
    DropNotes();
    replugged.Send(frame);
    EXPECT_EQ(Receive(32), frame);
}

TEST_F(MemoryLink, AnUnpluggedDeviceDoesNotOpen)
{
    port_->HangUp();
    EXPECT_EQ(OpenLinkSequence(link_, kPort).code, ENXIO);
    EXPECT_FALSE(link_.IsOpen());
}

TEST_F(MemoryLink, AThreadLetGoCannotReachTheNextSession)
{
    // The event thread is held just as it has found something to handle
    // while the link gives up waiting for it and opens the device plugged
    // in again. When it runs on, it must neither flag the new session as
    // hung up nor queue or post for it.
    struct Case
    {
        const char* what;
        bool hangUp;
    };
    for (const Case c : {Case{"bytes in hand", false}, Case{"a hang-up in hand", true}}) {
        OpenLink();
        const std::shared_ptr<MemoryDevice> old = port_.Shared();
        old->PauseEventThread();
        if (c.hangUp)
            old->HangUp();
        else
            old->Send(Pattern(32, 9));
        ASSERT_TRUE(old->WaitUntilPaused(kPatience)) << c.what;
        link_.StopMonitor(std::chrono::milliseconds{0});
        link_.Close(std::chrono::milliseconds{0});
        EXPECT_FALSE(old->WaitUntilReleased(0ms)) << c.what << ": the held thread still serves it";

        MemoryDevice& next = port_.Replug();
        OpenLink();
        DropNotes();
        old->ResumeEventThread();
        ASSERT_TRUE(old->WaitUntilReleased(kPatience)) << c.what << ": the old thread never ended";
        EXPECT_FALSE(link_.FarSideGone()) << c.what;
        EXPECT_EQ(link_.QueuedCount(), 0u) << c.what;
        EXPECT_FALSE(owner_->TryTake()) << c.what << ": nothing was posted for the new session";
        const auto frame = Pattern(32, 4);
        next.Send(frame);
        EXPECT_EQ(Receive(32), frame) << c.what;
    }
}

TEST_F(MemoryLink, AThreadLetGoWithoutWaitingDoesNotDisturbTheNextOne)
{
    OpenLink();
    // A zero wait cannot see the thread end: it is let go and must neither
    // take bytes meant for the next thread nor post for this link.
    EXPECT_TRUE(link_.StopMonitor(std::chrono::milliseconds{0}));
    EXPECT_FALSE(link_.IsMonitoring());
    EXPECT_TRUE(link_.IsOpen());
    Idle(); // the stopped thread has left
    DropNotes();
    EXPECT_FALSE(link_.StopMonitor(std::chrono::milliseconds{500})) << "no thread is left to stop";
    ASSERT_TRUE(link_.StartMonitor(0));
    EXPECT_EQ(link_.StartMonitor(0).code, EBUSY) << "a second thread must not start";
    const auto frame = Pattern(64, 1);
    port_->Send(frame);
    EXPECT_EQ(Receive(64), frame);
    link_.Close(std::chrono::milliseconds{0});
    EXPECT_FALSE(link_.IsOpen());
    EXPECT_TRUE(port_->WaitUntilReleased(kPatience));
}

TEST_F(MemoryLink, CloseWhileTheDeviceKeepsTalkingEndsTheThread)
{
    OpenLink();
    std::atomic<bool> talk{true};
    std::thread device([&] {
        const auto frame = Pattern(32);
        while (talk.load())
            port_->Send(frame);
    });
    ASSERT_TRUE(owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience));
    link_.Close(CSerialLink::kCloseWaitMs);
    talk.store(false);
    device.join();
    EXPECT_FALSE(link_.IsOpen());
    EXPECT_FALSE(link_.IsMonitoring());
    EXPECT_TRUE(port_->WaitUntilReleased(kPatience));
    DropNotes();
    EXPECT_EQ(owner_->Size(), 0u) << "nothing is posted once closed";
}

TEST_F(MemoryLink, AGoneOwnerIsNotPostedToButBytesStillQueue)
{
    OpenLink();
    owner_.reset();
    const auto frame = Pattern(32);
    port_->Send(frame);
    Idle();
    std::vector<std::uint8_t> got(32);
    EXPECT_EQ(link_.Read(got.data(), 32, std::chrono::milliseconds{0}), 32u);
    EXPECT_EQ(got, frame);
}

TEST_F(MemoryLink, SetupDiscardsWhatArrivedBefore)
{
    link_.SetPortNumber(kPort);
    link_.SetDeviceName(PortName(kPort));
    ASSERT_TRUE(link_.Open());
    port_->Send(Pattern(20));
    ASSERT_TRUE(link_.Setup());
    ASSERT_TRUE(link_.StartMonitor(0));
    const auto frame = Pattern(32, 8);
    port_->Send(frame);
    EXPECT_EQ(Receive(32), frame);
}

TEST_F(MemoryLink, WithoutReceiveQueueReadTakesFromTheDevice)
{
    link_.SetMode(0);
    link_.SetDeviceName(PortName(kPort));
    ASSERT_TRUE(link_.Open());
    EXPECT_TRUE(link_.StartMonitor(0));
    EXPECT_FALSE(link_.IsMonitoring()) << "no event thread without its mode bit";
    std::vector<std::uint8_t> got(32);
    EXPECT_EQ(link_.Read(got.data(), 32, std::chrono::milliseconds{0}), 0u) << "nothing has come";
    const auto frame = Pattern(32, 2);
    std::thread device([&] { port_->Send(frame); });
    std::uint32_t n = 0;
    while (n < 32) {
        const std::uint32_t k = link_.Read(got.data() + n, 32 - n, CSerialLink::kInfinite);
        ASSERT_NE(k, 0u);
        n += k;
    }
    device.join();
    EXPECT_EQ(got, frame);
}

} // namespace
} // namespace qav
