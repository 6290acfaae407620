// The upgrade library on a real pseudo-terminal whose far end is no board:
// whatever the line does, the procedure ends.
#include "upgrade/WindroseIAP.h"

#include "platform/RegularFile.h"
#include "support/Patience.h"
#include "support/PseudoTerminal.h"
#include "upgrade/BootPort.h"

#include <atomic>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <thread>

namespace qav {
namespace {

using namespace std::chrono_literals;

// The codes of one run, until code 1 or 22 (the progress left out).
std::vector<int> Codes(NotifyQueue& queue)
{
    std::vector<int> codes;
    while (const auto n = queue.WaitFor(60s)) {
        const int code = IapRecordCode(n->lParam);
        if (code == iap::kProgress)
            continue;
        codes.push_back(code);
        if (code == iap::kStartAgain || code == iap::kDone)
            break;
    }
    return codes;
}

// A line that never stops sending, and never answers a sync byte, is given
// up when the window ends: code 10, then code 1.
TEST(UpgradeLibrary, AFloodingLineEndsWithCode10)
{
    test::PseudoTerminal pty;
    ASSERT_TRUE(pty.Ok());
    // Never blocks: once the library has closed the port, no one reads.
    ASSERT_EQ(::fcntl(pty.Master(), F_SETFL, ::fcntl(pty.Master(), F_GETFL) | O_NONBLOCK), 0);
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        const std::vector<std::uint8_t> bytes(64, 0x55);
        while (flooding) {
            pollfd p{pty.Master(), POLLOUT, 0};
            if (::poll(&p, 1, 10) > 0)
                [[maybe_unused]] const ssize_t n = ::write(pty.Master(), bytes.data(), bytes.size());
            // What the library sends is read and dropped.
            std::uint8_t sink[256];
            pollfd in{pty.Master(), POLLIN, 0};
            if (::poll(&in, 1, 0) > 0)
                [[maybe_unused]] const ssize_t n = ::read(pty.Master(), sink, sizeof sink);
        }
    });
    BootLoaderTiming timing;
    timing.syncWindow = 1s;
    CWindroseIAPLibExp lib(BoardId::Controller, timing);
    auto queue = std::make_shared<NotifyQueue>();
    lib.Init(queue);
    const std::string path = ::testing::TempDir() + "/flood.bgsf";
    const auto packed =
        PackFirmware(BoardId::Controller, 1, kDefaultFlashAddress, std::vector<std::uint8_t>(64, 1));
    ASSERT_TRUE(ReplaceFile(path, std::string(packed.begin(), packed.end())));
    lib.Start(pty.SlavePath(), path);
    EXPECT_EQ(Codes(*queue),
              (std::vector<int>{iap::kPortOpened, iap::kStarting, iap::kNoBootLoader, iap::kStartAgain}));
    flooding = false;
    flood.join();
}

// A line that floods while the procedure is not reading (zeros, at a
// pseudo-terminal's speed) fills the port's queue only to its limit: the
// oldest bytes go and are counted, the newest are still read in order.
TEST(BootPort, AFloodKeepsItsNewestBytesAndCountsTheRest)
{
    test::PseudoTerminal pty;
    ASSERT_TRUE(pty.Ok());
    BootPort port;
    const Result opened = port.Open(pty.SlavePath());
    ASSERT_TRUE(opened) << opened.message;
    constexpr std::size_t kTotal = 4 * BootPort::kReceiveLimit + 1000;
    std::vector<std::uint8_t> flood(kTotal, 0x00);
    for (std::size_t i = kTotal - 256; i < kTotal; ++i)
        flood[i] = static_cast<std::uint8_t>(i);
    std::thread writer([&] {
        for (std::size_t at = 0; at < flood.size();) {
            const ssize_t n = ::write(pty.Master(), flood.data() + at, std::min<std::size_t>(4096, flood.size() - at));
            if (n > 0)
                at += static_cast<std::size_t>(n);
        }
    });
    writer.join();
    ASSERT_TRUE(test::PollUntil([&] { return port.DroppedInput() == kTotal - BootPort::kReceiveLimit; }))
        << port.DroppedInput();
    std::vector<std::uint8_t> kept(BootPort::kReceiveLimit);
    ASSERT_EQ(port.Receive(kept, test::kPatience), PortIo::Ok);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), flood.end() - BootPort::kReceiveLimit));
    std::uint8_t more = 0;
    EXPECT_EQ(port.Receive({&more, 1}, 0ms), PortIo::TimedOut);
}

} // namespace
} // namespace qav
