// The upgrade library on a real pseudo-terminal whose far end is no board:
// whatever the line does, the procedure ends.
#include "upgrade/WindroseIAP.h"

#include "platform/RegularFile.h"
#include "support/PseudoTerminal.h"

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
    CWindroseIAPLibExp lib(FirmwareBoard::Controller, timing);
    auto queue = std::make_shared<NotifyQueue>();
    lib.Init(queue);
    const std::string path = ::testing::TempDir() + "/flood.bgsf";
    const auto packed = PackFirmware(FirmwareBoard::Controller, 1, kDefaultFlashAddress, std::vector<std::uint8_t>(64, 1));
    ASSERT_TRUE(ReplaceFile(path, std::string(packed.begin(), packed.end())));
    lib.Start(pty.SlavePath(), path);
    EXPECT_EQ(Codes(*queue),
              (std::vector<int>{iap::kPortOpened, iap::kStarting, iap::kNoBootLoader, iap::kStartAgain}));
    flooding = false;
    flood.join();
}

} // namespace
} // namespace qav
