// The port side of CSerialLink on POSIX: open and flock, the line through
// termios, writes and direct reads. The event thread is in
// SerialEventLoopPosix.cpp.
#include "platform/PortMap.h"
#include "serial/LineSettings.h"
#include "serial/SerialLinkPosixShared.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace qav {

using namespace posix;
using Clock = std::chrono::steady_clock;

namespace {

// Unix98 pseudo-terminal slaves use majors 136 to 143.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

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
} // namespace

CSerialLink::CSerialLink() : shared_(std::make_shared<LinkShared>()) {}

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
    const termios current = t;
    const std::optional<termios> wanted = MakeLineSettings(current, baud, dataBits, parity, stopBits);
    if (!wanted) {
        Fail(EINVAL, "unsupported line settings");
        return false;
    }
    t = *wanted;
    const speed_t speed = cfgetospeed(&t);

    const bool pty = IsPseudoTerminalSlave(fd_);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
        // A pseudo-terminal refuses a change of parity alone: apply the
        // rest, keeping whatever parity it has.
        const termios rest = WithParityOf(t, current);
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
    const std::int64_t bits = 1 + dataBits + (parity != kNoParity ? 1 : 0) + (stopBits == kOneStopBit ? 1 : 2);
    shared_->characterNs.store(baud > 0 ? bits * 1'000'000'000 / baud : 0);
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

void CSerialLink::Close(milliseconds wait)
{
    if (!IsOpen())
        return;
    if (thread_.joinable())
        StopMonitor(wait);
    if (exclusiveFlag_)
        ::ioctl(fd_, TIOCNXCL);
    exclusiveFlag_ = false;
    ::tcflush(fd_, TCIOFLUSH);
    CloseFd(fd_);
    devicePath_.clear();
    txRest_.clear();
}

WriteResult CSerialLink::Write(const std::uint8_t* bytes, std::uint32_t n)
{
    if (!IsOpen() || n == 0)
        return WriteResult::Refused;
    auto failed = [this](int code) {
        Fail(code, "cannot write to " + devicePath_ + ": " + std::strerror(code));
        return WriteResult::Refused;
    };
    if (!txRest_.empty()) {
        const ssize_t w = ::write(fd_, txRest_.data(), txRest_.size());
        if (w < 0 && errno != EAGAIN && errno != EINTR)
            return failed(errno);
        if (w > 0)
            txRest_.erase(txRest_.begin(), txRest_.begin() + w);
        if (!txRest_.empty()) {
            Fail(EAGAIN, devicePath_ + " is not taking bytes: a frame was dropped");
            return WriteResult::Refused;
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
    return written < n ? WriteResult::Held : WriteResult::Accepted;
}

std::uint32_t CSerialLink::Read(std::uint8_t* dest, std::uint32_t n, milliseconds timeout)
{
    if (HasRxQueue())
        return shared_->queue.Take(dest, n);
    if (!IsOpen() || !dest || n == 0)
        return 0;
    const std::uint32_t got =
        ReadWhenArrived(fd_, dest, n, timeout == kInfinite ? milliseconds(-1) : timeout);
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
} // namespace qav
