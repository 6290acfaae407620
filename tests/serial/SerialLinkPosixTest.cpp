// CSerialLink end to end against a real pseudo-terminal: the master side
// plays the device, the link opens the slave through a COM alias. What the
// link decides by itself is tested over the in-memory port
// (MemoryPortTest.cpp); here the POSIX port and its event thread meet a
// real driver. Deadlines are generous: only a hang runs out of them.
#include "platform/PortMap.h"
#include "serial/SerialLink.h"
#include "support/BytePattern.h"
#include "support/Patience.h"
#include "support/PseudoTerminal.h"
#include "support/ScopedPortsDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <thread>

namespace qav {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::PseudoTerminal;
using test::ScopedPortsDir;
using test::kPatience;
using test::Pattern;

constexpr int kPort = 201;

class SerialLinkPty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty_.Ok());
        ASSERT_TRUE(RegisterPortAlias(kPort, pty_.SlavePath()));
        link_.SetMode(CSerialLink::kOwnerMode);
        link_.SetOwner(owner_);
    }

    void OpenLink()
    {
        const Result opened = OpenLinkSequence(link_, kPort);
        ASSERT_TRUE(opened) << opened.message;
    }

    // Drains the link the way the owners do, one notification at a time,
    // until n bytes have come.
    std::vector<std::uint8_t> Receive(std::size_t n)
    {
        std::vector<std::uint8_t> got;
        while (got.size() < n) {
            const auto note = owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience);
            if (!note)
                break;
            EXPECT_EQ(note->wParam, kPort);
            EXPECT_EQ(note->lParam, 0);
            std::uint8_t buffer[1023];
            do {
                const std::uint32_t k = link_.Read(buffer, sizeof buffer, CSerialLink::kInfinite);
                got.insert(got.end(), buffer, buffer + k);
            } while (link_.QueuedCount() != 0);
        }
        return got;
    }

    ScopedPortsDir ports_;
    PseudoTerminal pty_;
    std::shared_ptr<NotifyQueue> owner_ = std::make_shared<NotifyQueue>();
    CSerialLink link_;
};

TEST_F(SerialLinkPty, OneFrameArrivesWholeThroughTheEventThread)
{
    OpenLink();
    EXPECT_EQ(link_.PortNumber(), kPort);
    EXPECT_EQ(link_.DeviceName(), "COM201");
    const auto frame = Pattern(32);
    ASSERT_TRUE(pty_.Write(frame));
    EXPECT_EQ(Receive(frame.size()), frame);
    EXPECT_EQ(link_.ReceivedTotal(), 32u);
}

TEST_F(SerialLinkPty, ManyFramesBackToBackKeepEveryByteInOrder)
{
    OpenLink();
    const auto bytes = Pattern(32 * 500, 3);
    std::thread device([&] { pty_.Write(bytes); });
    const auto got = Receive(bytes.size());
    device.join();
    EXPECT_EQ(got, bytes);
}

TEST_F(SerialLinkPty, AFrameIsHandedOnWhileTheDeviceKeepsTalking)
{
    // The device sends a frame and then keeps sending, one byte at a time,
    // until the owner has the frame: a receive step that waited for a quiet
    // line would never hand it on.
    OpenLink();
    const auto frame = Pattern(32, 12);
    std::atomic<bool> talk{true};
    std::thread device([&] {
        pty_.Write(frame);
        while (talk.load()) {
            pollfd p{pty_.Master(), POLLOUT, 0};
            if (::poll(&p, 1, 100) == 1)
                pty_.Write({0xEE});
        }
    });
    const auto got = Receive(32);
    talk.store(false);
    device.join();
    ASSERT_GE(got.size(), 32u);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), got.begin()));
}

TEST_F(SerialLinkPty, WriteReachesTheDeviceAndTransmitEmptyIsPosted)
{
    OpenLink();
    const auto frame = Pattern(32, 5);
    EXPECT_EQ(link_.Write(frame.data(), 32), WriteResult::Accepted);
    EXPECT_EQ(pty_.Read(32, kPatience), frame);
    EXPECT_EQ(link_.SentTotal(), 32u);
    const auto note = owner_->WaitForMessage(WM_PORT_TXEMPTY, kPatience);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->wParam, kPort);
    // Frames that follow, with the device silent, are reported too: at
    // once, or while the thread waits for answers, on its watch interval.
    for (std::uint8_t i = 0; i < 3; ++i) {
        const auto next = Pattern(32, static_cast<std::uint8_t>(6 + i));
        EXPECT_EQ(link_.Write(next.data(), 32), WriteResult::Accepted);
        EXPECT_EQ(pty_.Read(32, kPatience), next);
        EXPECT_TRUE(owner_->WaitForMessage(WM_PORT_TXEMPTY, kPatience)) << "frame " << int(i);
    }
}

TEST_F(SerialLinkPty, AStalledDeviceGetsWholeFramesInOrderNeverPieces)
{
    OpenLink();
    auto frame = [](std::uint32_t i) {
        auto f = Pattern(32, static_cast<std::uint8_t>(i));
        f[0] = static_cast<std::uint8_t>(i);
        f[1] = static_cast<std::uint8_t>(i >> 8);
        f[2] = static_cast<std::uint8_t>(i >> 16);
        return f;
    };
    // The device reads nothing, so the driver's buffer fills up: Write then
    // takes part of a frame, keeps the rest, and refuses new frames until
    // the rest has gone out.
    std::vector<std::uint8_t> expected;
    std::uint32_t i = 0;
    int refused = 0;
    bool partial = false;
    for (; i < 200000 && refused < 3; ++i) {
        const auto f = frame(i);
        const std::uint32_t before = link_.SentTotal();
        Result why;
        const WriteResult took = link_.Write(f.data(), 32, &why);
        if (link_.SentTotal() - before == 32) {
            expected.insert(expected.end(), f.begin(), f.end());
            partial |= took == WriteResult::Held;
            EXPECT_NE(took, WriteResult::Refused);
            EXPECT_TRUE(why) << "a frame taken leaves no reason";
        } else {
            EXPECT_EQ(took, WriteResult::Refused);
            EXPECT_EQ(why.code, EAGAIN) << "a dropped frame is reported";
            ++refused;
        }
    }
    ASSERT_EQ(refused, 3) << "the driver's buffer never filled";
    EXPECT_TRUE(partial) << "a frame should have been taken in part";

    // The device reads again. Frames are written until one is taken whole,
    // which means the kept rest went out before it; then the device must
    // have exactly the bytes counted as sent.
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<std::uint8_t> got;
    std::atomic<bool> reading{true};
    std::thread device([&] {
        while (reading.load()) {
            const auto chunk = pty_.Read(4096, 100ms);
            std::lock_guard guard(lock);
            got.insert(got.end(), chunk.begin(), chunk.end());
            arrived.notify_all();
        }
    });
    for (WriteResult took = WriteResult::Refused; took != WriteResult::Accepted; ++i) {
        std::this_thread::yield();
        const auto f = frame(i);
        const std::uint32_t before = link_.SentTotal();
        took = link_.Write(f.data(), 32);
        if (link_.SentTotal() - before == 32)
            expected.insert(expected.end(), f.begin(), f.end());
    }
    {
        std::unique_lock guard(lock);
        EXPECT_TRUE(arrived.wait_for(guard, kPatience, [&] { return got.size() >= expected.size(); }));
    }
    reading.store(false);
    device.join();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "bytes reordered or a frame cut";
}

TEST_F(SerialLinkPty, SecondLinkCannotOpenTheSameDeviceAndSaysWhy)
{
    OpenLink();
    CSerialLink second;
    second.SetMode(CSerialLink::kOwnerMode);
    const Result busy = OpenLinkSequence(second, kPort);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(busy.code, EBUSY);
    EXPECT_NE(busy.message.find("busy"), std::string::npos) << busy.message;

    // The device path directly is refused just the same.
    EXPECT_EQ(OpenLinkSequence(second, pty_.SlavePath()).code, EBUSY);

    // Once the first lets go, the second gets it.
    link_.Close(std::chrono::milliseconds{500});
    const Result reopened = OpenLinkSequence(second, kPort);
    EXPECT_TRUE(reopened) << reopened.message;
}

TEST_F(SerialLinkPty, ReopeningAfterCloseWorksAndStillReceives)
{
    for (int round = 0; round < 3; ++round) {
        OpenLink();
        const auto frame = Pattern(32, static_cast<std::uint8_t>(round));
        ASSERT_TRUE(pty_.Write(frame));
        EXPECT_EQ(Receive(32), frame) << "round " << round;
        link_.Close(std::chrono::milliseconds{500});
        EXPECT_FALSE(link_.IsOpen());
    }
}

TEST_F(SerialLinkPty, HangUpKeepsNotifyingWithoutSpinningAndCloses)
{
    OpenLink();
    pty_.CloseMaster();
    // The owner is told again and again until it closes the link, about
    // every 10 ms. The bound is on the rate over the time it took, so a
    // loaded machine only posts fewer; a spinning loop would post thousands.
    const auto start = Clock::now();
    for (int note = 0; note < 5; ++note)
        ASSERT_TRUE(owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience)) << "note " << note;
    const auto waitedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_LE(5 + owner_->Size(), static_cast<std::size_t>(10 + waitedMs)) << "in " << waitedMs << " ms";
    EXPECT_TRUE(link_.FarSideGone());
    std::uint8_t buffer[64];
    EXPECT_EQ(link_.Read(buffer, sizeof buffer, std::chrono::milliseconds{0}), 0u);

    link_.Close(std::chrono::milliseconds{500});
    EXPECT_FALSE(link_.IsOpen());
    // Nothing is posted once closed: the thread's session ended with Close.
    while (owner_->TryTake()) {
    }
    EXPECT_EQ(owner_->Size(), 0u);
    EXPECT_EQ(link_.Write(buffer, 8), WriteResult::Refused);
}

TEST_F(SerialLinkPty, WithoutNotificationsTheOwnerReadsAndTheEventThreadOnlyWatches)
{
    OpenLink();
    link_.NotifyReceived(false);
    // Every byte comes through the owner's own reads, in order: had the
    // event thread read any, those would be missing from what TakeArrived
    // returned.
    const auto sent = Pattern(3000, 7);
    ASSERT_TRUE(pty_.Write(sent));
    std::uint32_t taken = 0;
    ASSERT_TRUE(test::PollUntil([&] {
        taken += link_.TakeArrived();
        return taken >= sent.size();
    }));
    EXPECT_EQ(taken, sent.size());
    std::vector<std::uint8_t> got(sent.size());
    EXPECT_EQ(link_.Read(got.data(), static_cast<std::uint32_t>(got.size()), CSerialLink::kInfinite),
              sent.size());
    EXPECT_EQ(got, sent);
    EXPECT_FALSE(owner_->TryTake()) << "received bytes were notified";

    // Back to notifications: the event thread reads again.
    link_.NotifyReceived(true);
    ASSERT_TRUE(pty_.Write(Pattern(32, 1)));
    EXPECT_EQ(Receive(32), Pattern(32, 1));
    EXPECT_EQ(link_.TakeArrived(), 0u);

    // A hang-up is told while the owner reads.
    link_.NotifyReceived(false);
    while (owner_->TryTake()) {
    }
    pty_.CloseMaster();
    EXPECT_TRUE(owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience));
    EXPECT_TRUE(test::PollUntil([&] { return link_.FarSideGone(); }));
}

TEST_F(SerialLinkPty, ADeviceBackUnderTheSameNameIsReachedOnReconnect)
{
    OpenLink();
    pty_.CloseMaster();
    ASSERT_TRUE(owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience));
    PseudoTerminal replugged;
    ASSERT_TRUE(replugged.Ok());
    ASSERT_TRUE(RegisterPortAlias(kPort, replugged.SlavePath()));
    // The owner reconnects with the same sequence; it closes the dead link
    // itself.
    ASSERT_TRUE(OpenLinkSequence(link_, kPort));
    while (owner_->TryTake()) {
    }
    const auto frame = Pattern(32, 6);
    ASSERT_TRUE(replugged.Write(frame));
    EXPECT_EQ(Receive(32), frame);
    EXPECT_EQ(link_.Write(frame.data(), 32), WriteResult::Accepted);
    EXPECT_EQ(replugged.Read(32, kPatience), frame);
}

TEST_F(SerialLinkPty, WriteAfterHangUpReportsNothingWritten)
{
    OpenLink();
    pty_.CloseMaster();
    ASSERT_TRUE(owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience));
    const auto frame = Pattern(32);
    Result why;
    EXPECT_EQ(link_.Write(frame.data(), 32, &why), WriteResult::Refused);
    EXPECT_EQ(link_.SentTotal(), 0u);
    EXPECT_EQ(why.code, EIO);
    EXPECT_NE(why.message.find("cannot write"), std::string::npos) << why.message;
}

TEST_F(SerialLinkPty, CloseWhileReceivingEndsTheThread)
{
    OpenLink();
    // A device that keeps talking, so the event thread is mid-read.
    std::atomic<bool> talk{true};
    std::thread device([&] {
        const auto frame = Pattern(32);
        while (talk.load()) {
            pollfd p{pty_.Master(), POLLOUT, 0};
            if (::poll(&p, 1, 100) == 1)
                pty_.Write(frame);
        }
    });
    ASSERT_TRUE(owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience));
    link_.Close(std::chrono::milliseconds{500});
    talk.store(false);
    device.join();
    EXPECT_FALSE(link_.IsOpen());
    EXPECT_FALSE(link_.IsMonitoring());
}

TEST_F(SerialLinkPty, StopMonitorKeepsThePortOpenForAnotherStart)
{
    OpenLink();
    EXPECT_TRUE(link_.StopMonitor(std::chrono::milliseconds{500}));
    EXPECT_FALSE(link_.IsMonitoring());
    EXPECT_TRUE(link_.IsOpen());
    EXPECT_FALSE(link_.StopMonitor(std::chrono::milliseconds{500}));
    ASSERT_TRUE(link_.StartMonitor(0));
    EXPECT_EQ(link_.StartMonitor(0).code, EBUSY) << "a second thread must not start";
    const auto frame = Pattern(32, 9);
    ASSERT_TRUE(pty_.Write(frame));
    EXPECT_EQ(Receive(32), frame);
}

TEST_F(SerialLinkPty, EvenParityIsNotRefusedByAPseudoTerminal)
{
    link_.SetDeviceName(PortName(kPort));
    ASSERT_TRUE(link_.Open());
    const Result even = link_.SetLine(115200, CSerialLink::kEvenParity, 8, CSerialLink::kOneStopBit);
    EXPECT_TRUE(even) << even.message;
    EXPECT_TRUE(link_.SetLine(115200, CSerialLink::kNoParity, 8, CSerialLink::kOneStopBit));
    EXPECT_FALSE(link_.SetLine(123456, CSerialLink::kNoParity, 8, CSerialLink::kOneStopBit));
    EXPECT_FALSE(link_.SetLine(115200, CSerialLink::kNoParity, 9, CSerialLink::kOneStopBit));
}

TEST_F(SerialLinkPty, OpeningByDevicePathWorks)
{
    const Result opened = OpenLinkSequence(link_, pty_.SlavePath());
    ASSERT_TRUE(opened) << opened.message;
    EXPECT_EQ(link_.PortNumber(), 0) << "pseudo-terminals belong to no device family";
    const auto frame = Pattern(32, 4);
    ASSERT_TRUE(pty_.Write(frame));
    std::vector<std::uint8_t> got;
    while (got.size() < 32 && owner_->WaitForMessage(WM_PORT_RECEIVED, kPatience)) {
        std::uint8_t buffer[64];
        const auto k = link_.Read(buffer, sizeof buffer, std::chrono::milliseconds{0});
        got.insert(got.end(), buffer, buffer + k);
    }
    EXPECT_EQ(got, frame);
}

TEST_F(SerialLinkPty, WithoutReceiveQueueReadTakesFromTheDevice)
{
    link_.SetMode(0);
    link_.SetDeviceName(PortName(kPort));
    ASSERT_TRUE(link_.Open());
    ASSERT_TRUE(link_.SetLine(115200, CSerialLink::kNoParity, 8, CSerialLink::kOneStopBit));
    EXPECT_TRUE(link_.StartMonitor(0));
    EXPECT_FALSE(link_.IsMonitoring()) << "no event thread without its mode bit";
    const auto frame = Pattern(32, 2);
    ASSERT_TRUE(pty_.Write(frame));
    std::vector<std::uint8_t> got(32);
    std::uint32_t n = 0;
    while (n < 32) {
        const std::uint32_t k = link_.Read(got.data() + n, 32 - n, kPatience);
        ASSERT_NE(k, 0u) << "nothing came";
        n += k;
    }
    EXPECT_EQ(got, frame);
}

TEST_F(SerialLinkPty, SetupDiscardsWhatArrivedBefore)
{
    link_.SetPortNumber(kPort);
    link_.SetDeviceName(PortName(kPort));
    ASSERT_TRUE(link_.Open());
    ASSERT_TRUE(link_.SetLine(115200, CSerialLink::kNoParity, 8, CSerialLink::kOneStopBit));
    ASSERT_TRUE(pty_.Write(Pattern(20)));
    // The terminal hands bytes on from its own worker: wait until all 20
    // are readable on the link's side.
    int pending = 0;
    while (pending < 20) {
        pollfd p{link_.NativeHandle(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())), 1);
        ASSERT_EQ(::ioctl(link_.NativeHandle(), FIONREAD, &pending), 0);
        if (pending < 20)
            std::this_thread::yield();
    }
    ASSERT_TRUE(link_.Setup());
    ASSERT_TRUE(link_.StartMonitor(0));
    const auto frame = Pattern(32, 8);
    ASSERT_TRUE(pty_.Write(frame));
    EXPECT_EQ(Receive(32), frame);
}

// Without a device: the closed object's behaviour.
TEST(SerialLinkClosed, OperationsOnAClosedLinkDoNothing)
{
    CSerialLink link;
    EXPECT_EQ(link.PortNumber(), -1);
    EXPECT_FALSE(link.IsOpen());
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(link.Write(bytes, 4), WriteResult::Refused);
    EXPECT_EQ(link.SentTotal(), 0u);
    EXPECT_FALSE(link.StopMonitor(std::chrono::milliseconds{500}));
    EXPECT_EQ(link.SetLine(115200, 0, 8, 0).code, ENXIO);
    EXPECT_EQ(link.Setup().code, ENXIO);
    link.SetMode(CSerialLink::kOwnerMode);
    EXPECT_EQ(link.StartMonitor(0).code, ENXIO);
    link.Close(std::chrono::milliseconds{500});
    EXPECT_FALSE(link.IsOpen());
}

TEST(SerialLinkClosed, OpenOfAMissingDeviceFailsAndStaysClosed)
{
    ScopedPortsDir ports;
    CSerialLink link;
    link.SetDeviceName("/dev/qav-no-such-device");
    const Result missing = link.Open();
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(missing.code, ENOENT);
    EXPECT_FALSE(missing.message.empty());

    // A dead alias: registered, but its device is gone.
    ASSERT_TRUE(RegisterPortAlias(777, ports.Scratch() + "/gone"));
    EXPECT_EQ(OpenLinkSequence(link, 777).code, ENOENT);
    EXPECT_FALSE(link.IsOpen());
}

TEST(SerialLinkClosed, NumbersOutsideTheRangeOpenNothing)
{
    ScopedPortsDir ports;
    PseudoTerminal pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(RegisterPortAlias(1024, pty.SlavePath()));
    CSerialLink link;
    for (int n : {0, -1, 1025, 65536}) {
        EXPECT_EQ(OpenLinkSequence(link, n).code, EINVAL) << n;
        EXPECT_FALSE(link.IsOpen());
    }
    for (const char* name : {"COM0", "COM1025", "ttyUSB0", "", "COM"}) {
        const Result refused = OpenLinkSequence(link, std::string_view(name));
        EXPECT_EQ(refused.code, EINVAL) << name;
        EXPECT_NE(refused.message.find("is not a port"), std::string::npos) << name;
    }
    const Result opened = OpenLinkSequence(link, 1024);
    EXPECT_TRUE(opened) << opened.message;
    EXPECT_TRUE(opened.message.empty()) << "a success carries no reason";
    // A refused number closes what was open, as a new connection would.
    EXPECT_FALSE(OpenLinkSequence(link, 0));
    EXPECT_FALSE(link.IsOpen());
}

TEST(SerialLinkClosed, ARegularFileIsNotASerialDevice)
{
    test::TempDir dir;
    const std::string path = dir.File("plain");
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    CSerialLink link;
    const Result refused = OpenLinkSequence(link, path);
    EXPECT_FALSE(refused);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(refused.message.empty());
}

} // namespace
} // namespace qav
