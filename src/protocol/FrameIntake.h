#pragma once
// The owner-side half of reception: drains a link's receive queue on each
// "bytes received" notification into a buffer of its own, and hands the
// buffered bytes to a receiver only once at least one frame's worth (32
// bytes) has piled up. Everything buffered then goes through, in order, in
// pieces of at most kWorkingSize bytes.
//
// An answer must reach the engine before the next tick builds its frame,
// so that the counter steps on every tick and each read-back request goes
// out once: drained on the notification, or at the start of that tick.
#include "protocol/Frame.h"
#include "serial/BlockQueue.h"

#include <array>
#include <chrono>
#include <cstdint>

namespace qav {

class FrameIntake
{
public:
    static constexpr std::uint32_t kWorkingSize = 1024;
    static constexpr std::uint32_t kReadChunk = kWorkingSize - 1;
    static constexpr std::uint32_t kOwnerMinimumBlockSize = 4096;

    FrameIntake() { buffer_.SetMinimumBlockSize(kOwnerMinimumBlockSize); }

    // Link must offer Read(dest, n, timeout) and QueuedCount(), and
    // HasRxQueue() telling whether its reads come from a receive queue.
    // Feed is called as feed(const uint8_t* bytes, uint32_t count).
    //
    // A link that offers SetNotifyThreshold(n) is told after each drain how
    // many more bytes would make a frame's worth, so it need not notify for
    // fewer.
    template <class Link, class Feed> void OnPortReceived(Link& link, Feed&& feed)
    {
        for (;;) {
            do {
                const std::uint32_t got = link.Read(work_.data(), kReadChunk, kInfinite);
                buffer_.Append(work_.data(), got);
            } while (link.HasRxQueue() && link.QueuedCount() != 0);
            if (buffer_.QueuedCount() >= kFrameSize) {
                while (std::uint32_t n = buffer_.Take(work_.data(), kWorkingSize))
                    feed(static_cast<const std::uint8_t*>(work_.data()), n);
            }
            if constexpr (requires { link.SetNotifyThreshold(std::uint32_t{1}); }) {
                const std::uint32_t missing = kFrameSize - buffer_.QueuedCount();
                link.SetNotifyThreshold(missing);
                // What came in meanwhile may not have been notified.
                if (link.HasRxQueue() && link.QueuedCount() >= missing)
                    continue;
            }
            return;
        }
    }

    // Forgets buffered bytes (opening a port); the receiver is not touched.
    void Clear() { buffer_.Clear(); }
    std::uint32_t Buffered() const { return buffer_.QueuedCount(); }

private:
    static constexpr std::chrono::milliseconds kInfinite = std::chrono::milliseconds::max();
    CBlockQueue buffer_;
    std::array<std::uint8_t, kWorkingSize> work_{};
};

} // namespace qav
