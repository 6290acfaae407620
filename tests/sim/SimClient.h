#pragma once
// The PC's side for simulator tests: the project's CSerialLink on a COM name,
// its notifications drained as the owners do, and the bytes fed through a
// FrameReceiver. The link hands bytes over as they arrive, but a slow or
// paced device can still answer after the next request has gone out:
// callers match answers to requests (by counter on the controller link).
#include "platform/Notify.h"
#include "protocol/Frame.h"
#include "serial/SerialLink.h"
#include "support/Patience.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qav::test {

using namespace std::chrono_literals;

class SimClient
{
public:
    SimClient(std::uint8_t header0, std::uint8_t header1) : receiver_(header0, header1)
    {
        link_.SetMode(CSerialLink::kOwnerMode);
        link_.SetOwner(owner_);
    }
    ~SimClient() { link_.Close(std::chrono::milliseconds{500}); }

    Result Open(int com) { return OpenLinkSequence(link_, com); }
    void Close() { link_.Close(std::chrono::milliseconds{500}); }
    CSerialLink& Link() { return link_; }

    void Send(const Frame& f) { link_.Write(f.data(), static_cast<std::uint32_t>(f.size())); }

    // Takes what has arrived within `wait` into the receiver.
    void Pump(std::chrono::milliseconds wait)
    {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
                break;
            const auto note = owner_->WaitForMessage(
                WM_PORT_RECEIVED, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
            if (!note)
                break;
            Drain();
            if (!frames_.empty())
                break;
        }
        Drain();
    }

    // The next valid frame within `wait`.
    std::optional<Frame> Next(std::chrono::milliseconds wait = kPatience)
    {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (frames_.empty() && std::chrono::steady_clock::now() < deadline)
            Pump(std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                       std::chrono::steady_clock::now()));
        if (frames_.empty())
            return std::nullopt;
        Frame f = frames_.front();
        frames_.pop_front();
        return f;
    }

    // Sends `request` every `period` (as the PC's link timer does) until an
    // answer satisfies `done`, or `patience` runs out.
    std::optional<Frame> Until(const std::function<Frame()>& request,
                               const std::function<bool(const Frame&)>& done,
                               std::chrono::milliseconds patience = kPatience,
                               std::chrono::milliseconds period = 20ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (std::chrono::steady_clock::now() < deadline) {
            Send(request());
            const auto tickEnd = std::chrono::steady_clock::now() + period;
            while (std::chrono::steady_clock::now() < tickEnd) {
                auto f = Next(std::chrono::duration_cast<std::chrono::milliseconds>(
                    tickEnd - std::chrono::steady_clock::now()));
                if (!f)
                    break;
                ++answers_;
                if (done(*f))
                    return f;
            }
        }
        return std::nullopt;
    }

    // Sends one request and waits for an answer that `match` accepts;
    // answers it does not accept (late ones to earlier requests) are dropped.
    std::optional<Frame> Exchange(const Frame& request, std::chrono::milliseconds wait = kPatience,
                                  const std::function<bool(const Frame&)>& match = {})
    {
        Send(request);
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
                return std::nullopt;
            auto f = Next(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
            if (!f || !match || match(*f))
                return f;
        }
    }

    // Takes what arrives until `total` bytes have come in all; false once
    // `wait` has run out first. Valid frames among them wait for Next.
    bool ReceiveUntil(std::size_t total, std::chrono::milliseconds wait = kPatience)
    {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        Drain();
        while (bytes_ < total) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline)
                return false;
            owner_->WaitForMessage(WM_PORT_RECEIVED,
                                   std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
            Drain();
        }
        return true;
    }
    // Valid frames taken and not yet given out by Next.
    std::size_t FramesWaiting() const { return frames_.size(); }

    std::size_t BytesReceived() const { return bytes_; }
    std::size_t Answers() const { return answers_; }

private:
    void Drain()
    {
        std::uint8_t buf[1024];
        while (std::uint32_t n = link_.Read(buf, sizeof buf, std::chrono::milliseconds{0})) {
            bytes_ += n;
            receiver_.Feed(buf, n, [&](const Frame& f) { frames_.push_back(f); });
        }
    }

    std::shared_ptr<NotifyQueue> owner_ = std::make_shared<NotifyQueue>();
    CSerialLink link_;
    FrameReceiver receiver_;
    std::deque<Frame> frames_;
    std::size_t bytes_ = 0;
    std::size_t answers_ = 0;
};

} // namespace qav::test
