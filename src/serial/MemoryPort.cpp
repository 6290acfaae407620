// The in-memory port: the device's side, the link's side and the event
// thread, all waiting on the device's one condition.
#include "serial/MemoryPort.h"

#include "platform/PortMap.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

namespace qav {

namespace {

std::mutex& RegistryLock()
{
    static std::mutex lock;
    return lock;
}

std::map<int, std::shared_ptr<MemoryDevice>>& Registry()
{
    static std::map<int, std::shared_ptr<MemoryDevice>> ports;
    return ports;
}

// Waits on `changed` for `ready`, at most `patience`.
template <class Ready>
bool WaitWithPatience(std::condition_variable& changed, std::unique_lock<std::mutex>& guard,
                      std::chrono::milliseconds patience, Ready ready)
{
    if (patience.count() < 0) {
        changed.wait(guard, ready);
        return true;
    }
    return changed.wait_for(guard, patience, ready);
}

} // namespace

bool MemoryDevice::AllIdle() const
{
    return std::all_of(watchers_.begin(), watchers_.end(),
                       [&](const Watch* w) { return w->idle && w->idleAt == generation_; });
}

void MemoryDevice::Send(std::span<const std::uint8_t> bytes)
{
    {
        std::lock_guard guard(lock_);
        if (hungUp_ || bytes.empty())
            return;
        toLink_.insert(toLink_.end(), bytes.begin(), bytes.end());
        Touch();
    }
    changed_.notify_all();
}

void MemoryDevice::SetResponder(Responder responder)
{
    std::lock_guard guard(lock_);
    responder_ = std::move(responder);
}

void MemoryDevice::SetWriteCapacity(std::size_t bytes)
{
    {
        std::lock_guard guard(lock_);
        capacity_ = bytes;
        Touch();
    }
    changed_.notify_all();
}

std::vector<std::uint8_t> MemoryDevice::TakeWritten()
{
    std::vector<std::uint8_t> taken;
    {
        std::lock_guard guard(lock_);
        taken.swap(fromLink_);
        Touch();
    }
    // Room again, and the transmit side may now be empty.
    changed_.notify_all();
    return taken;
}

std::vector<std::uint8_t> MemoryDevice::WaitForWritten(std::size_t n, std::chrono::milliseconds patience)
{
    {
        std::unique_lock guard(lock_);
        WaitWithPatience(changed_, guard, patience, [&] { return fromLink_.size() >= n; });
    }
    return TakeWritten();
}

void MemoryDevice::HangUp()
{
    {
        std::lock_guard guard(lock_);
        hungUp_ = true;
        toLink_.clear();
        Touch();
    }
    changed_.notify_all();
}

bool MemoryDevice::WaitUntilIdle(std::chrono::milliseconds patience)
{
    std::unique_lock guard(lock_);
    return WaitWithPatience(changed_, guard, patience, [&] { return AllIdle(); });
}

bool MemoryDevice::WaitUntilReleased(std::chrono::milliseconds patience)
{
    std::unique_lock guard(lock_);
    return WaitWithPatience(changed_, guard, patience, [&] { return !open_ && watchers_.empty(); });
}

void MemoryDevice::PauseEventThread()
{
    std::lock_guard guard(lock_);
    pause_ = Pause::Armed;
}

bool MemoryDevice::WaitUntilPaused(std::chrono::milliseconds patience)
{
    std::unique_lock guard(lock_);
    return WaitWithPatience(changed_, guard, patience, [&] { return pause_ == Pause::Holding; });
}

void MemoryDevice::ResumeEventThread()
{
    {
        std::lock_guard guard(lock_);
        pause_ = Pause::None;
    }
    changed_.notify_all();
}

bool MemoryDevice::IsOpen() const
{
    std::lock_guard guard(lock_);
    return open_;
}

std::optional<LineRequest> MemoryDevice::Line() const
{
    std::lock_guard guard(lock_);
    return line_;
}

int MemoryDevice::Purges() const
{
    std::lock_guard guard(lock_);
    return purges_;
}

// What dispatch reads from the device, on the event thread.
class MemoryLinePort final : public ILinePort
{
public:
    explicit MemoryLinePort(MemoryDevice& device) : d_(device) {}

    bool PendingCount(std::uint32_t& pending) override
    {
        std::lock_guard guard(d_.lock_);
        if (d_.hungUp_)
            return false;
        pending = static_cast<std::uint32_t>(std::min<std::size_t>(d_.toLink_.size(), UINT32_MAX));
        return true;
    }

    std::uint32_t ReadBatch(std::uint8_t* dest, std::uint32_t want) override
    {
        std::lock_guard guard(d_.lock_);
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(want, d_.toLink_.size()));
        std::copy_n(d_.toLink_.begin(), n, dest);
        d_.toLink_.erase(d_.toLink_.begin(), d_.toLink_.begin() + n);
        return n;
    }

    // No modem lines and no error counts, as on a pseudo-terminal.
    bool ModemStatus(std::uint32_t&) override { return false; }
    void ClearBreak() override {}
    bool TakeErrors(std::uint32_t&) override { return false; }

private:
    MemoryDevice& d_;
};

class MemoryWatcher final : public IPortWatcher
{
public:
    explicit MemoryWatcher(std::shared_ptr<MemoryDevice> device) : d_(std::move(device))
    {
        // Counted from its making, so that a test waiting for the device to
        // be idle also waits for a thread that has not started yet.
        std::lock_guard guard(d_->lock_);
        d_->watchers_.push_back(&watch_);
    }

    ~MemoryWatcher() override
    {
        if (!ended_)
            Leave();
    }

    void Run(LinkMonitor& monitor) override
    {
        MemoryLinePort port(*d_);
        std::vector<std::uint8_t> scratch;
        LineDispatch dispatch = monitor.MakeDispatch(port, scratch);
        std::unique_lock guard(d_->lock_);
        for (;;) {
            if (stop_)
                break;
            const std::uint32_t events = PendingEvents(monitor);
            if (events == 0) {
                watch_ = {true, d_->generation_};
                d_->changed_.notify_all();
                d_->changed_.wait(guard);
                watch_.idle = false;
                continue;
            }
            if (d_->pause_ == MemoryDevice::Pause::Armed) {
                d_->pause_ = MemoryDevice::Pause::Holding;
                d_->changed_.notify_all();
                d_->changed_.wait(guard, [&] { return d_->pause_ != MemoryDevice::Pause::Holding; });
            }
            guard.unlock();
            // Flagged before the owner hears of it, so an owner woken by
            // the notification already sees the device gone.
            if (hangUpSeen_)
                monitor.MarkFarSideGone();
            DispatchLineEvents(events, dispatch);
            guard.lock();
        }
        guard.unlock();
        Leave();
    }

    void Stop() override
    {
        {
            std::lock_guard guard(d_->lock_);
            stop_ = true;
            d_->Touch();
        }
        d_->changed_.notify_all();
    }

    void TransmitStarted() override
    {
        // Under the lock, so the thread cannot miss it between looking and
        // waiting.
        std::lock_guard guard(d_->lock_);
        d_->Touch();
        d_->changed_.notify_all();
    }

private:
    // Under the device's lock.
    std::uint32_t PendingEvents(LinkMonitor& monitor)
    {
        std::uint32_t events = 0;
        if (!d_->toLink_.empty())
            events |= EV_RXCHAR;
        if (d_->hungUp_ && !hangUpSeen_) {
            hangUpSeen_ = true;
            events |= EV_RXCHAR;
        }
        if (d_->fromLink_.empty() && monitor.txPending.exchange(false))
            events |= EV_TXEMPTY;
        return events;
    }

    void Leave()
    {
        ended_ = true;
        {
            std::lock_guard guard(d_->lock_);
            std::erase(d_->watchers_, &watch_);
        }
        d_->changed_.notify_all();
    }

    std::shared_ptr<MemoryDevice> d_;
    MemoryDevice::Watch watch_; // under the device's lock
    bool stop_ = false;         // under the device's lock
    bool hangUpSeen_ = false;
    bool ended_ = false;
};

// The link's side of an opened device.
class MemoryPortDevice final : public IPortDevice
{
public:
    MemoryPortDevice(std::shared_ptr<MemoryDevice> device, std::string path)
        : d_(std::move(device)), path_(std::move(path))
    {
    }

    ~MemoryPortDevice() override
    {
        {
            std::lock_guard guard(d_->lock_);
            d_->open_ = false;
            d_->toLink_.clear(); // what the link never read goes with it
            d_->Touch();
        }
        d_->changed_.notify_all();
    }

    const std::string& Path() const override { return path_; }

    Result SetLine(const LineRequest& line) override
    {
        if (line.baud == 0 || line.dataBits < 5 || line.dataBits > 8 || line.parity > 4 || line.stopBits > 2)
            return Result::Failed(EINVAL, "unsupported line settings");
        std::lock_guard guard(d_->lock_);
        d_->line_ = line;
        return {};
    }

    Result Purge() override
    {
        std::lock_guard guard(d_->lock_);
        d_->toLink_.clear();
        ++d_->purges_;
        d_->Touch();
        return {};
    }

    std::optional<std::uint32_t> WriteSome(const std::uint8_t* bytes, std::uint32_t n, Result& error) override
    {
        std::vector<std::uint8_t> forResponder;
        MemoryDevice::Responder responder;
        std::uint32_t taken = 0;
        {
            std::lock_guard guard(d_->lock_);
            if (d_->hungUp_) {
                error = {EIO, "cannot write to " + path_ + ": " + std::strerror(EIO)};
                return std::nullopt;
            }
            const std::size_t room = d_->capacity_ - std::min(d_->capacity_, d_->fromLink_.size());
            taken = static_cast<std::uint32_t>(std::min<std::size_t>(n, room));
            d_->fromLink_.insert(d_->fromLink_.end(), bytes, bytes + taken);
            d_->Touch();
            if (d_->responder_) {
                responder = d_->responder_;
                forResponder.swap(d_->fromLink_);
            }
        }
        d_->changed_.notify_all();
        if (responder && !forResponder.empty())
            d_->Send(responder(forResponder));
        return taken;
    }

    std::uint32_t ReadDirect(std::uint8_t* dest, std::uint32_t n, std::chrono::milliseconds timeout) override
    {
        std::unique_lock guard(d_->lock_);
        WaitWithPatience(d_->changed_, guard, timeout, [&] { return !d_->toLink_.empty() || d_->hungUp_; });
        const auto got = static_cast<std::uint32_t>(std::min<std::size_t>(n, d_->toLink_.size()));
        std::copy_n(d_->toLink_.begin(), got, dest);
        d_->toLink_.erase(d_->toLink_.begin(), d_->toLink_.begin() + got);
        return got;
    }

    std::unique_ptr<IPortWatcher> MakeWatcher(Result&) override { return std::make_unique<MemoryWatcher>(d_); }

private:
    std::shared_ptr<MemoryDevice> d_;
    std::string path_;
};

void RegisterMemoryPort(int number, std::shared_ptr<MemoryDevice> device)
{
    std::lock_guard guard(RegistryLock());
    Registry()[number] = std::move(device);
}

void UnregisterMemoryPort(int number)
{
    std::lock_guard guard(RegistryLock());
    Registry().erase(number);
}

std::vector<int> MemoryPortNumbers()
{
    std::lock_guard guard(RegistryLock());
    std::vector<int> numbers;
    for (const auto& [number, device] : Registry())
        numbers.push_back(number);
    return numbers;
}

ScopedMemoryPort::ScopedMemoryPort(int number) : number_(number), device_(std::make_shared<MemoryDevice>())
{
    RegisterMemoryPort(number_, device_);
}

ScopedMemoryPort::~ScopedMemoryPort()
{
    UnregisterMemoryPort(number_);
}

MemoryDevice& ScopedMemoryPort::Replug()
{
    device_ = std::make_shared<MemoryDevice>();
    RegisterMemoryPort(number_, device_);
    return *device_;
}

std::unique_ptr<IPortDevice> OpenMemoryPort(const std::string& name, Result& error)
{
    const int number = PortNumberFromName(name);
    std::shared_ptr<MemoryDevice> device;
    {
        std::lock_guard guard(RegistryLock());
        const auto it = Registry().find(number);
        if (number == 0 || it == Registry().end())
            return nullptr;
        device = it->second;
    }
    const std::string what = PortName(number) + " (in memory)";
    std::lock_guard guard(device->lock_);
    if (device->hungUp_) {
        error = {ENXIO, "no such device: " + what + " is not connected"};
        return nullptr;
    }
    if (device->open_) {
        error = {EBUSY, what + " is busy: it is already open in this or another program"};
        return nullptr;
    }
    device->open_ = true;
    return std::make_unique<MemoryPortDevice>(std::move(device), what);
}

} // namespace qav
