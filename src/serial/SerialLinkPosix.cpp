// The POSIX side of CSerialLink: termios for the line, poll with eventfds
// for the event thread, flock for exclusive use.
#include "platform/PortMap.h"
#include "serial/SerialLink.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace qav {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// Pause between iterations while the far side is gone or input reads empty.
constexpr milliseconds kIdleRetry{10};
// How often modem lines, line error counts and the transmit queue are looked
// at when the driver supports them (none of them can wake poll).
constexpr milliseconds kLineWatchInterval{50};

// Unix98 pseudo-terminal slaves use majors 136 to 143.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

int PollMs(milliseconds d)
{
    return static_cast<int>(std::max<milliseconds::rep>(d.count(), 0));
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void Signal(int eventFd)
{
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(eventFd, &one, sizeof one);
}

void Drain(int eventFd)
{
    std::uint64_t value = 0;
    [[maybe_unused]] ssize_t r = ::read(eventFd, &value, sizeof value);
}

bool IsPseudoTerminalSlave(int fd)
{
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return m >= kPtySlaveMajorFirst && m <= kPtySlaveMajorLast;
}

struct Speed
{
    std::uint32_t baud;
    speed_t code;
};
constexpr std::array kSpeeds{
    Speed{50, B50},           Speed{75, B75},           Speed{110, B110},         Speed{134, B134},
    Speed{150, B150},         Speed{200, B200},         Speed{300, B300},         Speed{600, B600},
    Speed{1200, B1200},       Speed{1800, B1800},       Speed{2400, B2400},       Speed{4800, B4800},
    Speed{9600, B9600},       Speed{19200, B19200},     Speed{38400, B38400},     Speed{57600, B57600},
    Speed{115200, B115200},   Speed{230400, B230400},   Speed{460800, B460800},   Speed{500000, B500000},
    Speed{576000, B576000},   Speed{921600, B921600},   Speed{1000000, B1000000}, Speed{1152000, B1152000},
    Speed{1500000, B1500000}, Speed{2000000, B2000000}, Speed{2500000, B2500000}, Speed{3000000, B3000000},
    Speed{3500000, B3500000}, Speed{4000000, B4000000},
};

bool SpeedCode(std::uint32_t baud, speed_t& code)
{
    for (const Speed& s : kSpeeds) {
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    }
    return false;
}

// The group that may use the device (dialout on most systems).
std::string DeviceGroup(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) == 0 && st.st_gid != 0 && (st.st_mode & S_IRWXG) != 0) {
        if (const group* g = ::getgrgid(st.st_gid))
            return g->gr_name;
    }
    return "dialout";
}

std::string OpenFailureSentence(int code, const std::string& name, const std::string& path)
{
    const std::string what = name == path ? name : name + " (" + path + ")";
    switch (code) {
    case EACCES:
    case EPERM: {
        const std::string group = DeviceGroup(path);
        return "permission denied on " + what + ": add your user to the " + group +
               " group (sudo usermod -aG " + group + " $USER) and log in again, since a new group " +
               "takes effect at the next login";
    }
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return "no such device: " + what + " is not connected";
    case EBUSY:
    case EWOULDBLOCK:
        return what + " is busy: it is already open in this or another program";
    default:
        return "cannot open " + what + ": " + std::strerror(code);
    }
}

// One read of what has arrived, never waiting. Sets hungUp when the far
// side is gone (end of file, or an error such as EIO).
std::uint32_t ReadArrived(int fd, std::uint8_t* dest, std::uint32_t want, bool& hungUp)
{
    for (;;) {
        const ssize_t n = ::read(fd, dest, want);
        if (n > 0)
            return static_cast<std::uint32_t>(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return 0;
        hungUp = true;
        return 0;
    }
}

// Waits up to timeout (negative: no limit) for the first bytes, then returns
// what has arrived.
std::uint32_t ReadWhenArrived(int fd, std::uint8_t* dest, std::uint32_t want, milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const int wait = timeout.count() < 0
                             ? -1
                             : PollMs(std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, wait);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return 0;
        bool hungUp = false;
        const std::uint32_t got = ReadArrived(fd, dest, want, hungUp);
        if (got != 0 || hungUp || wait == 0)
            return got;
    }
}

bool ReadLineCounts(int fd, LineCounts& counts)
{
    serial_icounter_struct ic{};
    if (::ioctl(fd, TIOCGICOUNT, &ic) != 0)
        return false;
    counts.breaks = static_cast<std::uint32_t>(ic.brk);
    counts.frame = static_cast<std::uint32_t>(ic.frame);
    counts.overrun = static_cast<std::uint32_t>(ic.overrun);
    counts.parity = static_cast<std::uint32_t>(ic.parity);
    counts.bufferOverrun = static_cast<std::uint32_t>(ic.buf_overrun);
    return true;
}

bool ReadModemBits(int fd, std::uint32_t& bits)
{
    int lines = 0;
    if (::ioctl(fd, TIOCMGET, &lines) != 0)
        return false;
    bits = 0;
    if (lines & TIOCM_CTS)
        bits |= MS_CTS_ON;
    if (lines & TIOCM_DSR)
        bits |= MS_DSR_ON;
    if (lines & TIOCM_RNG)
        bits |= MS_RING_ON;
    if (lines & TIOCM_CD)
        bits |= MS_RLSD_ON;
    return true;
}

} // namespace

// What the link and its event thread share; outlives either of them.
struct CSerialLink::Shared
{
    CBlockQueue queue;
    std::atomic<int> portNumber{-1};
    std::atomic<std::uint32_t> receivedTotal{0};
    std::atomic<bool> farSideGone{false};
    std::mutex ownerLock;
    std::weak_ptr<INotifySink> owner;
    // Each event thread serves one session; StopMonitor starts the next. An
    // event thread changes the queue, the flags and the owner's messages
    // only under this lock and only while its session is current, so a
    // thread let go after an overrun stop wait cannot touch what follows.
    std::mutex sessionLock;
    std::uint64_t session = 0;
    std::atomic<std::uint32_t> notifyThreshold{1};

    void Post(std::uint32_t message, std::intptr_t lParam)
    {
        std::weak_ptr<INotifySink> target;
        {
            std::lock_guard guard(ownerLock);
            target = owner;
        }
        PostNotification(target, message, portNumber.load(), lParam);
    }
};

// One event thread's world. The thread owns a duplicate of the port
// descriptor, so the link can close its own at any time.
struct CSerialLink::Monitor
{
    std::shared_ptr<Shared> shared;
    std::uint64_t session = 0;
    int fd = -1;
    int stopFd = -1; // signalled once, never drained: every later wait ends at once
    int wakeFd = -1; // signalled by Write so the transmit queue gets watched
    std::atomic<bool> stopping{false};
    std::atomic<bool> txPending{false};
    std::mutex exitLock;
    std::condition_variable exitSignal;
    bool exited = false;

    ~Monitor()
    {
        CloseFd(fd);
        CloseFd(stopFd);
        CloseFd(wakeFd);
    }

    // Runs f under the session lock if this thread's session is still the
    // link's; false (f not run) once the link has moved on.
    template <class F> bool InSession(F&& f)
    {
        std::lock_guard guard(shared->sessionLock);
        if (shared->session != session)
            return false;
        f();
        return true;
    }
};

namespace {

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

// Waits up to d unless the link is being stopped; true when it is.
bool WaitForStop(int stopFd, milliseconds d)
{
    pollfd p{stopFd, POLLIN, 0};
    while (::poll(&p, 1, PollMs(d)) < 0 && errno == EINTR) {
    }
    return p.revents != 0;
}

} // namespace

CSerialLink::CSerialLink() : shared_(std::make_shared<Shared>()) {}

CSerialLink::~CSerialLink()
{
    Close(kCloseWaitMs);
}

void CSerialLink::SetOwner(std::weak_ptr<INotifySink> owner)
{
    std::lock_guard guard(shared_->ownerLock);
    shared_->owner = std::move(owner);
}

void CSerialLink::SetPortNumber(int number)
{
    shared_->portNumber.store(number);
}

int CSerialLink::PortNumber() const
{
    return shared_->portNumber.load();
}

void CSerialLink::Fail(int code, std::string message)
{
    lastError_.code = code;
    lastError_.message = std::move(message);
}

bool CSerialLink::Open()
{
    if (IsOpen())
        Close(kCloseWaitMs);
    // Nothing of an earlier opening reaches this one: its event thread has
    // been stopped (or let go and cut off), and what it queued is dropped.
    shared_->farSideGone.store(false);
    shared_->queue.Clear();
    const std::string path = ResolvePortDevice(deviceName_);
    if (path.empty()) {
        Fail(ENOENT, "no such device: nothing is known as \"" + deviceName_ + "\"");
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        Fail(code, OpenFailureSentence(code, deviceName_, path));
        return false;
    }
    // flock binds every link, root's included; TIOCEXCL also keeps out
    // programs that do not lock (it does not bind root). Not on a
    // pseudo-terminal: its device side keeps the terminal alive, so a
    // client that died without clearing the flag would lock everyone out
    // until the device side closes.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        Fail(code, OpenFailureSentence(code, deviceName_, path));
        return false;
    }
    exclusiveFlag_ = !IsPseudoTerminalSlave(fd) && ::ioctl(fd, TIOCEXCL) == 0;
    fd_ = fd;
    devicePath_ = path;
    txRest_.clear();
    lastError_ = {};
    return true;
}

bool CSerialLink::SetLine(std::uint32_t baud, std::uint8_t parity, std::uint8_t dataBits,
                          std::uint8_t stopBits)
{
    if (!IsOpen())
        return false;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) {
        Fail(errno, devicePath_ + " is not a serial device");
        return false;
    }
    speed_t speed{};
    if (!SpeedCode(baud, speed) || dataBits < 5 || dataBits > 8 || parity > kSpaceParity ||
        stopBits > kTwoStopBits) {
        Fail(EINVAL, "unsupported line settings");
        return false;
    }
    // Raw bytes both ways: frames are binary, so no translation, no echo,
    // no XON/XOFF eating 0x11 and 0x13.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                        IXOFF | IXANY | IUCLC | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    static constexpr std::array<tcflag_t, 4> kSizes{CS5, CS6, CS7, CS8};
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | kSizes[dataBits - 5];
    // Linux has no 1.5 stop bits setting; CSTOPB gives 1.5 with 5 data bits.
    if (stopBits == kOneStopBit)
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    else
        t.c_cflag |= CSTOPB;
    const termios withoutParity = t;
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    switch (parity) {
    case kOddParity:
        t.c_cflag |= PARENB | PARODD;
        break;
    case kEvenParity:
        t.c_cflag |= PARENB;
        break;
    case kMarkParity:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case kSpaceParity:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (parity != kNoParity)
        t.c_iflag |= INPCK;
    else
        t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);

    const bool pty = IsPseudoTerminalSlave(fd_);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
        // A pseudo-terminal refuses a change of parity alone: apply the
        // rest, keeping whatever parity it has.
        termios rest = withoutParity;
        cfsetispeed(&rest, speed);
        cfsetospeed(&rest, speed);
        if (!(pty && errno == EINVAL && parity != kNoParity && ::tcsetattr(fd_, TCSANOW, &rest) == 0)) {
            Fail(errno, "cannot set the line of " + devicePath_ + ": " + std::strerror(errno));
            return false;
        }
    }
    // tcsetattr succeeds when any part took effect: check the parts that
    // matter. A pseudo-terminal may drop parity silently.
    termios now{};
    if (::tcgetattr(fd_, &now) != 0) {
        Fail(errno, "cannot read back the line of " + devicePath_);
        return false;
    }
    const tcflag_t checked = CSIZE | CSTOPB | (pty ? 0 : (PARENB | PARODD | CMSPAR));
    if ((now.c_cflag & checked) != (t.c_cflag & checked) || cfgetospeed(&now) != speed) {
        Fail(EINVAL, "the device did not accept the line settings");
        return false;
    }
    return true;
}

bool CSerialLink::Setup()
{
    if (!IsOpen())
        return false;
    if (::tcflush(fd_, TCIOFLUSH) != 0) {
        Fail(errno, "cannot flush " + devicePath_ + ": " + std::strerror(errno));
        return false;
    }
    txRest_.clear();
    return true;
}

bool CSerialLink::StartMonitor(std::uint32_t extraModeBits)
{
    if (thread_.joinable())
        return false;
    mode_ |= extraModeBits;
    if (!(mode_ & MODE_EVENT_THREAD))
        return true;
    if (!IsOpen())
        return false;
    auto m = std::make_shared<Monitor>();
    m->shared = shared_;
    {
        std::lock_guard guard(shared_->sessionLock);
        m->session = shared_->session;
    }
    m->fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    m->stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m->fd < 0 || m->stopFd < 0 || m->wakeFd < 0) {
        Fail(errno, std::string("cannot start the event thread: ") + std::strerror(errno));
        return false;
    }
    try {
        thread_ = std::thread([m] { RunEventLoop(m); });
    } catch (const std::system_error& e) {
        Fail(e.code().value(), std::string("cannot start the event thread: ") + e.what());
        return false;
    }
    monitor_ = std::move(m);
    return true;
}

bool CSerialLink::StopMonitor(std::uint32_t waitMs)
{
    if (!thread_.joinable())
        return false;
    const std::shared_ptr<Monitor> m = std::move(monitor_);
    {
        // From here on the thread can neither queue, flag nor post.
        std::lock_guard guard(shared_->sessionLock);
        ++shared_->session;
    }
    m->stopping.store(true);
    Signal(m->stopFd);
    bool ended = false;
    {
        std::unique_lock guard(m->exitLock);
        ended = m->exitSignal.wait_for(guard, milliseconds(waitMs), [&] { return m->exited; });
    }
    if (ended)
        thread_.join();
    else
        thread_.detach(); // it ends on its own; see the header
    return true;
}

void CSerialLink::Close(std::uint32_t waitMs)
{
    if (!IsOpen())
        return;
    if (thread_.joinable())
        StopMonitor(waitMs);
    if (exclusiveFlag_)
        ::ioctl(fd_, TIOCNXCL);
    exclusiveFlag_ = false;
    ::tcflush(fd_, TCIOFLUSH);
    CloseFd(fd_);
    devicePath_.clear();
    txRest_.clear();
}

void CSerialLink::WakeMonitor()
{
    if (monitor_) {
        monitor_->txPending.store(true);
        Signal(monitor_->wakeFd);
    }
}

std::uint32_t CSerialLink::Write(const std::uint8_t* bytes, std::uint32_t n)
{
    if (!IsOpen() || n == 0)
        return 0;
    auto failed = [this](int code) {
        Fail(code, "cannot write to " + devicePath_ + ": " + std::strerror(code));
        return 0u;
    };
    if (!txRest_.empty()) {
        const ssize_t w = ::write(fd_, txRest_.data(), txRest_.size());
        if (w < 0 && errno != EAGAIN && errno != EINTR)
            return failed(errno);
        if (w > 0)
            txRest_.erase(txRest_.begin(), txRest_.begin() + w);
        if (!txRest_.empty()) {
            Fail(EAGAIN, devicePath_ + " is not taking bytes: a frame was dropped");
            return 0;
        }
    }
    ssize_t w = ::write(fd_, bytes, n);
    if (w < 0) {
        if (errno != EAGAIN && errno != EINTR)
            return failed(errno);
        w = 0;
    }
    const auto written = static_cast<std::uint32_t>(w);
    if (written < n)
        txRest_.assign(bytes + written, bytes + n);
    sentTotal_ += n;
    WakeMonitor();
    return written;
}

std::uint32_t CSerialLink::Read(std::uint8_t* dest, std::uint32_t n, std::uint32_t timeoutMs)
{
    if (HasRxQueue())
        return shared_->queue.Take(dest, n);
    if (!IsOpen() || !dest || n == 0)
        return 0;
    const milliseconds timeout = timeoutMs == kInfinite ? milliseconds(-1) : milliseconds(timeoutMs);
    const std::uint32_t got = ReadWhenArrived(fd_, dest, n, timeout);
    shared_->receivedTotal.fetch_add(got, std::memory_order_relaxed);
    return got;
}

void CSerialLink::SetNotifyThreshold(std::uint32_t bytes)
{
    shared_->notifyThreshold.store(std::max<std::uint32_t>(bytes, 1));
}

std::uint32_t CSerialLink::QueuedCount() const
{
    return shared_->queue.QueuedCount();
}

std::uint32_t CSerialLink::ReceivedTotal() const
{
    return shared_->receivedTotal.load();
}

bool CSerialLink::FarSideGone() const
{
    return shared_->farSideGone.load();
}

void CSerialLink::RunEventLoop(const std::shared_ptr<Monitor>& m)
{
    PosixLinePort port(m->fd);
    std::vector<std::uint8_t> scratch;
    Shared& shared = *m->shared;
    LineDispatch d{port,
                   scratch,
                   shared.receivedTotal,
                   [&](const std::uint8_t* bytes, std::uint32_t n) {
                       return m->InSession([&] { shared.queue.Append(bytes, n); });
                   },
                   [&](std::uint32_t message, std::intptr_t lParam) {
                       return m->InSession([&] { shared.Post(message, lParam); });
                   },
                   [&] { return shared.queue.QueuedCount() >= shared.notifyThreshold.load(); }};

    std::uint32_t modem = 0;
    const bool modemWatched = ReadModemBits(m->fd, modem);
    LineCounts counts;
    const bool countsWatched = ReadLineCounts(m->fd, counts);

    while (!m->stopping.load()) {
        if (port.HungUp()) {
            // The device is gone for good; keep telling the owner, gently,
            // until it closes the link.
            if (WaitForStop(m->stopFd, kIdleRetry))
                break;
            DispatchLineEvents(EV_RXCHAR, d);
            continue;
        }
        const bool watch = modemWatched || countsWatched || m->txPending.load();
        std::array<pollfd, 3> fds{pollfd{m->fd, POLLIN, 0}, pollfd{m->stopFd, POLLIN, 0},
                                  pollfd{m->wakeFd, POLLIN, 0}};
        const int r = ::poll(fds.data(), fds.size(), watch ? PollMs(kLineWatchInterval) : -1);
        if (r < 0) {
            if (errno != EINTR && WaitForStop(m->stopFd, kIdleRetry))
                break;
            continue;
        }
        if (fds[1].revents)
            break;
        if (fds[2].revents)
            Drain(m->wakeFd);

        std::uint32_t events = 0;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            port.MarkHungUp();
            events |= EV_RXCHAR;
        } else if (fds[0].revents & POLLIN) {
            events |= EV_RXCHAR;
        }
        if (m->txPending.load()) {
            int queued = 0;
            if (::ioctl(m->fd, TIOCOUTQ, &queued) != 0 || queued == 0) {
                m->txPending.store(false);
                events |= EV_TXEMPTY;
            }
        }
        if (modemWatched) {
            std::uint32_t now = 0;
            if (ReadModemBits(m->fd, now)) {
                events |= ModemChangeEvents(modem, now);
                modem = now;
            }
        }
        if (countsWatched) {
            LineCounts now;
            if (ReadLineCounts(m->fd, now)) {
                events |= LineCountEvents(counts, now);
                counts = now;
            }
        }
        if (events == 0)
            continue;
        const DispatchResult result = DispatchLineEvents(events, d);
        if (port.HungUp())
            m->InSession([&] { shared.farSideGone.store(true); });
        // Readable but nothing came: do not spin on it.
        if ((events & EV_RXCHAR) && result.bytesRead == 0 && !port.HungUp() &&
            WaitForStop(m->stopFd, kIdleRetry))
            break;
    }
    {
        std::lock_guard guard(m->exitLock);
        m->exited = true;
    }
    m->exitSignal.notify_all();
}

} // namespace qav
