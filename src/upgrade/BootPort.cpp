#include "upgrade/BootPort.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace qav {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr std::uint32_t kBaud = 115200;
constexpr std::uint8_t kDataBits = 8;
// While the driver still holds bytes of an earlier send, how often the rest
// is offered again (the link's notifications wake the wait sooner).
constexpr milliseconds kHeldRetry{5};

} // namespace

// What wakes a waiting client: every notification of the link (bytes
// queued, the transmit side empty, the far side gone) and Stop.
class BootPort::Wakeups final : public INotifySink
{
public:
    void Post(std::uint32_t, std::intptr_t, std::intptr_t) override
    {
        {
            std::lock_guard guard(lock_);
            ++posts_;
        }
        changed_.notify_all();
    }

    void SetStopped(bool stopped)
    {
        {
            std::lock_guard guard(lock_);
            stopped_ = stopped;
        }
        changed_.notify_all();
    }

    PortIo Wait(Clock::time_point deadline, const std::function<bool()>& ready, const std::function<bool()>& gone)
    {
        std::unique_lock guard(lock_);
        for (;;) {
            if (stopped_)
                return PortIo::Stopped;
            // What came before a hang-up is still handed out.
            if (ready())
                return PortIo::Ok;
            if (gone())
                return PortIo::Gone;
            const std::uint64_t seen = posts_;
            if (!changed_.wait_until(guard, deadline, [&] { return stopped_ || posts_ != seen; }))
                return ready() ? PortIo::Ok : PortIo::TimedOut;
        }
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::uint64_t posts_ = 0;
    bool stopped_ = false;
};

BootPort::BootPort() : wakeups_(std::make_shared<Wakeups>())
{
    link_.SetMode(CSerialLink::kOwnerMode);
    link_.SetOwner(wakeups_);
    link_.SetReceiveLimit(kReceiveLimit);
}

BootPort::~BootPort()
{
    Close();
}

Result BootPort::Open(const std::string& nameOrPath)
{
    Close();
    if (Result r = NameLinkDevice(link_, nameOrPath); !r)
        return r;
    return OpenNamed();
}

Result BootPort::Open(int portNumber)
{
    Close();
    if (Result r = NameLinkDevice(link_, portNumber); !r)
        return r;
    return OpenNamed();
}

Result BootPort::OpenNamed()
{
    if (Result r = link_.Open(); !r)
        return r;
    Result r = link_.SetLine(kBaud, CSerialLink::kNoParity, kDataBits, CSerialLink::kOneStopBit);
    if (r)
        r = link_.Setup();
    if (r)
        r = link_.StartMonitor(0);
    if (!r)
        link_.Close(CSerialLink::kCloseWaitMs);
    return r;
}

Result BootPort::UseBootLoaderLine()
{
    return link_.SetLine(kBaud, CSerialLink::kEvenParity, kDataBits, CSerialLink::kOneStopBit);
}

void BootPort::Close()
{
    link_.Close(CSerialLink::kCloseWaitMs);
}

void BootPort::Stop()
{
    wakeups_->SetStopped(true);
}

void BootPort::Rearm()
{
    wakeups_->SetStopped(false);
}

PortIo BootPort::Wait(Clock::time_point deadline, const std::function<bool()>& ready)
{
    return wakeups_->Wait(deadline, ready, [this] { return link_.FarSideGone(); });
}

PortIo BootPort::Send(std::span<const std::uint8_t> bytes, milliseconds timeout)
{
    if (!IsOpen())
        return PortIo::Gone;
    if (bytes.empty())
        return PortIo::Ok;
    const auto deadline = Clock::now() + timeout;
    WriteResult w = link_.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    // The driver took part of it: offer the rest until it is taken, as a
    // blocking write would.
    while (w == WriteResult::Held) {
        const auto now = Clock::now();
        if (now >= deadline)
            return PortIo::TimedOut;
        if (const PortIo r = Wait(std::min(deadline, now + kHeldRetry), [] { return false; });
            r == PortIo::Stopped || r == PortIo::Gone)
            return r;
        w = link_.WriteHeld();
    }
    return w == WriteResult::Accepted ? PortIo::Ok : PortIo::Gone;
}

PortIo BootPort::Receive(std::span<std::uint8_t> dest, milliseconds timeout)
{
    if (!IsOpen())
        return PortIo::Gone;
    const auto deadline = Clock::now() + timeout;
    while (!dest.empty()) {
        if (const PortIo r = Wait(deadline, [this] { return link_.QueuedCount() != 0; }); r != PortIo::Ok)
            return r;
        const std::uint32_t n = link_.Read(dest.data(), static_cast<std::uint32_t>(dest.size()), milliseconds{0});
        dest = dest.subspan(n);
    }
    return PortIo::Ok;
}

void BootPort::DiscardInput()
{
    // The event thread takes every byte off the driver as it comes, so what
    // has arrived is in the queue.
    if (IsOpen())
        link_.Read(nullptr, link_.QueuedCount(), milliseconds{0});
}

} // namespace qav
