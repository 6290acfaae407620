// The event thread of the POSIX port: poll on the port and two eventfds
// (stop, wake), modem lines and line error counts looked at on a timer,
// everything handed to DispatchLineEvents.
#include "serial/SerialPosix.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace qav {

using namespace posix;

namespace {

// Pause between iterations while the far side is gone or input reads empty.
constexpr milliseconds kIdleRetry{10};
// How often modem lines, line error counts and the transmit queue are looked
// at when the driver supports them (none of them can wake poll).
constexpr milliseconds kLineWatchInterval{50};
// How long after a frame went out the thread keeps waking on that interval,
// so the next frame of a link that writes regularly needs no wake-up.
constexpr milliseconds kTransmitWatchHold{1000};
// The longest the thread sleeps for the rest of a frame the line is bringing.
constexpr milliseconds kRestOfFrameCap{20};

class PosixLinePort final : public ILinePort
{
public:
    explicit PosixLinePort(int fd) : fd_(fd) { errorsSupported_ = ReadLineCounts(fd_, errorBase_); }

    bool HungUp() const { return hungUp_; }
    void MarkHungUp() { hungUp_ = true; }

    bool PendingCount(std::uint32_t& pending) override
    {
        int n = 0;
        if (hungUp_ || ::ioctl(fd_, FIONREAD, &n) != 0 || n < 0)
            return false;
        pending = static_cast<std::uint32_t>(n);
        return true;
    }

    std::uint32_t ReadBatch(std::uint8_t* dest, std::uint32_t want) override
    {
        if (hungUp_)
            return 0;
        return ReadArrived(fd_, dest, want, hungUp_);
    }

    bool ModemStatus(std::uint32_t& bits) override { return !hungUp_ && ReadModemBits(fd_, bits); }

    void ClearBreak() override { ::ioctl(fd_, TIOCCBRK); }

    bool TakeErrors(std::uint32_t& bits) override
    {
        LineCounts now;
        if (!errorsSupported_ || !ReadLineCounts(fd_, now))
            return false;
        bits = LineErrorBits(errorBase_, now);
        errorBase_ = now;
        return true;
    }

private:
    int fd_;
    bool hungUp_ = false;
    bool errorsSupported_ = false;
    LineCounts errorBase_;
};

// Waits up to d (to the microsecond) unless the link is being stopped;
// true when it is.
bool WaitForStop(int stopFd, std::chrono::nanoseconds d)
{
    pollfd p{stopFd, POLLIN, 0};
    d = std::max(d, std::chrono::nanoseconds::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(d);
    const timespec wait{static_cast<time_t>(seconds.count()), static_cast<long>((d - seconds).count())};
    while (::ppoll(&p, 1, &wait, nullptr) < 0 && errno == EINTR) {
    }
    return p.revents != 0;
}

// The event thread's work, one named step at a time.
struct WatchedFds
{
    int port = -1;
    int stop = -1; // signalled once, never drained: every later wait ends at once
    int wake = -1; // signalled by a write while the thread waits with no time-out
    // Set by the thread while it waits without a time-out: only then does a
    // write wake it to watch the transmit queue. Otherwise the queue is
    // looked at on the next wake-up, which for a device that answers is the
    // answer's arrival: a transmitted frame costs no wake-up of its own.
    std::atomic<bool> waitingUnbounded{false};
};

class EventLoop
{
public:
    EventLoop(LinkMonitor& m, WatchedFds& fds)
        : m_(m), f_(fds), port_(fds.port), dispatch_(m.MakeDispatch(port_, scratch_))
    {
        modemWatched_ = ReadModemBits(f_.port, modem_);
        countsWatched_ = ReadLineCounts(f_.port, counts_);
    }

    void Run()
    {
        while (!m_.stopping.load()) {
            if (port_.HungUp()) {
                if (!KeepReportingHangUp())
                    break;
                continue;
            }
            // While the owner reads, only a hang-up or an error of the
            // port wakes the thread (poll reports those unasked).
            const short portEvents = m_.shared->ownerReads.load() ? 0 : POLLIN;
            std::array<pollfd, 3> fds{pollfd{f_.port, portEvents, 0}, pollfd{f_.stop, POLLIN, 0},
                                      pollfd{f_.wake, POLLIN, 0}};
            const Wake wake = WaitForActivity(fds);
            if (wake == Wake::Stop)
                break;
            if (wake == Wake::Retry)
                continue;
            const std::uint32_t events = CollectEvents(fds[0].revents);
            if (events != 0 && !Dispatch(events))
                break;
        }
    }

private:
    enum class Wake { Stop, Retry, Look };

    // The device is gone for good; keep telling the owner, gently, until it
    // closes the link. False once the link is being stopped.
    bool KeepReportingHangUp()
    {
        if (WaitForStop(f_.stop, kIdleRetry))
            return false;
        DispatchLineEvents(EV_RXCHAR, dispatch_);
        return true;
    }

    // Polls the port, the stop and the wake eventfds; on a timer while
    // anything must be looked at that cannot wake poll.
    Wake WaitForActivity(std::array<pollfd, 3>& fds)
    {
        bool watch = modemWatched_ || countsWatched_ || m_.txPending.load() ||
                     std::chrono::steady_clock::now() - lastTransmit_ < kTransmitWatchHold;
        if (!watch) {
            // A Write after this store wakes the thread; one before it is
            // seen by the load that follows.
            f_.waitingUnbounded.store(true);
            watch = m_.txPending.load();
        }
        const int r = ::poll(fds.data(), fds.size(), watch ? PollMs(kLineWatchInterval) : -1);
        f_.waitingUnbounded.store(false);
        if (r < 0)
            return errno != EINTR && WaitForStop(f_.stop, kIdleRetry) ? Wake::Stop : Wake::Retry;
        if (fds[1].revents)
            return Wake::Stop;
        if (fds[2].revents)
            Drain(f_.wake);
        return Wake::Look;
    }

    std::uint32_t CollectEvents(short portEvents)
    {
        std::uint32_t events = 0;
        if (portEvents & (POLLHUP | POLLERR | POLLNVAL)) {
            port_.MarkHungUp();
            events |= EV_RXCHAR;
        } else if (portEvents & POLLIN) {
            events |= EV_RXCHAR;
        }
        return events | TransmitEmptyEvent() | ModemEvents() | LineCountChanges();
    }

    std::uint32_t TransmitEmptyEvent()
    {
        if (!m_.txPending.load())
            return 0;
        lastTransmit_ = std::chrono::steady_clock::now();
        int queued = 0;
        if (::ioctl(f_.port, TIOCOUTQ, &queued) == 0 && queued != 0)
            return 0;
        m_.txPending.store(false);
        return EV_TXEMPTY;
    }

    std::uint32_t ModemEvents()
    {
        std::uint32_t now = 0;
        if (!modemWatched_ || !ReadModemBits(f_.port, now))
            return 0;
        const std::uint32_t events = ModemChangeEvents(modem_, now);
        modem_ = now;
        return events;
    }

    std::uint32_t LineCountChanges()
    {
        LineCounts now;
        if (!countsWatched_ || !ReadLineCounts(f_.port, now))
            return 0;
        const std::uint32_t events = LineCountEvents(counts_, now);
        counts_ = now;
        return events;
    }

    // False once the link is being stopped.
    bool Dispatch(std::uint32_t events)
    {
        DispatchResult result;
        {
            std::lock_guard reading(m_.shared->readLock);
            result = DispatchLineEvents(events, dispatch_);
        }
        if (port_.HungUp())
            m_.MarkFarSideGone();
        // Readable but nothing came: do not spin on it.
        if ((events & EV_RXCHAR) && result.bytesRead == 0 && !port_.HungUp())
            return !WaitForStop(f_.stop, kIdleRetry);
        return result.bytesRead == 0 || port_.HungUp() || !WaitForRestOfFrame();
    }

    // Bytes came, but fewer than the owner waits for: the line cannot bring
    // the rest sooner than one character time each, so the thread sleeps
    // that long instead of waking for every character of a paced line. The
    // owner hears of the bytes no later than it would have. True once the
    // link is being stopped.
    bool WaitForRestOfFrame()
    {
        const auto rest = m_.RestOfFrame(kRestOfFrameCap);
        return rest > std::chrono::nanoseconds::zero() && WaitForStop(f_.stop, rest);
    }

    LinkMonitor& m_;
    WatchedFds& f_;
    PosixLinePort port_;
    std::vector<std::uint8_t> scratch_;
    LineDispatch dispatch_;
    std::uint32_t modem_ = 0;
    bool modemWatched_ = false;
    LineCounts counts_;
    bool countsWatched_ = false;
    std::chrono::steady_clock::time_point lastTransmit_;
};


class PosixWatcher final : public IPortWatcher
{
public:
    ~PosixWatcher() override
    {
        CloseFd(fds_.port);
        CloseFd(fds_.stop);
        CloseFd(fds_.wake);
    }

    bool Init(int portFd, Result& error)
    {
        fds_.port = ::fcntl(portFd, F_DUPFD_CLOEXEC, 0);
        fds_.stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        fds_.wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fds_.port >= 0 && fds_.stop >= 0 && fds_.wake >= 0)
            return true;
        error = {errno, std::string("cannot start the event thread: ") + std::strerror(errno)};
        return false;
    }

    void Run(LinkMonitor& monitor) override { EventLoop(monitor, fds_).Run(); }

    void Stop() override { Signal(fds_.stop); }

    void TransmitStarted() override
    {
        if (fds_.waitingUnbounded.exchange(false))
            Signal(fds_.wake);
    }

    void Rewatch() override { Signal(fds_.wake); }

private:
    WatchedFds fds_;
};

} // namespace

std::unique_ptr<IPortWatcher> posix::MakePosixWatcher(int portFd, Result& error)
{
    auto watcher = std::make_unique<PosixWatcher>();
    if (!watcher->Init(portFd, error))
        return nullptr;
    return watcher;
}

} // namespace qav
