// The POSIX port under CSerialLink: open and flock, the line through
// termios, writes and direct reads. Its event thread is in
// SerialEventLoopPosix.cpp.
#include "platform/PortMap.h"
#include "serial/LineSettingsPosix.h"
#include "serial/SerialLink.h"
#include "serial/SerialPosix.h"

#include <cerrno>
#include <cstring>
#include <optional>
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
using std::chrono::milliseconds;

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

class PosixPort final : public IPortDevice
{
public:
    PosixPort(int fd, std::string path, bool exclusiveFlag)
        : fd_(fd), path_(std::move(path)), exclusiveFlag_(exclusiveFlag)
    {
    }

    ~PosixPort() override
    {
        if (exclusiveFlag_)
            ::ioctl(fd_, TIOCNXCL);
        ::tcflush(fd_, TCIOFLUSH);
        CloseFd(fd_);
    }

    const std::string& Path() const override { return path_; }
    int NativeHandle() const override { return fd_; }

    Result SetLine(const LineRequest& line) override;

    Result Purge() override
    {
        if (::tcflush(fd_, TCIOFLUSH) == 0)
            return {};
        return Result::Failed(errno, "cannot flush " + path_ + ": " + std::strerror(errno));
    }

    std::optional<std::uint32_t> WriteSome(const std::uint8_t* bytes, std::uint32_t n, Result& error) override
    {
        const ssize_t w = ::write(fd_, bytes, n);
        if (w >= 0)
            return static_cast<std::uint32_t>(w);
        if (errno == EAGAIN || errno == EINTR)
            return 0;
        error = {errno, "cannot write to " + path_ + ": " + std::strerror(errno)};
        return std::nullopt;
    }

    std::uint32_t ReadDirect(std::uint8_t* dest, std::uint32_t n, milliseconds timeout) override
    {
        return ReadWhenArrived(fd_, dest, n, timeout);
    }

    bool OwnerCanRead() const override { return true; }
    std::uint32_t ReadNow(std::uint8_t* dest, std::uint32_t n) override
    {
        bool hungUp = false; // the event thread sees it and tells the owner
        return ReadArrived(fd_, dest, n, hungUp);
    }

    std::unique_ptr<IPortWatcher> MakeWatcher(Result& error) override { return MakePosixWatcher(fd_, error); }

private:
    int fd_;
    std::string path_;
    bool exclusiveFlag_; // TIOCEXCL set by us, to clear on close
};

Result PosixPort::SetLine(const LineRequest& line)
{
    auto fail = [](int code, std::string message) { return Result::Failed(code, std::move(message)); };
    termios t{};
    if (::tcgetattr(fd_, &t) != 0)
        return fail(errno, path_ + " is not a serial device");
    const termios current = t;
    const std::optional<termios> wanted =
        MakeLineSettings(current, line.baud, line.dataBits, line.parity, line.stopBits);
    if (!wanted)
        return fail(EINVAL, "unsupported line settings");
    t = *wanted;
    const speed_t speed = cfgetospeed(&t);

    const bool pty = IsPseudoTerminalSlave(fd_);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
        // A pseudo-terminal refuses a change of parity alone: apply the
        // rest, keeping whatever parity it has.
        const termios rest = WithParityOf(t, current);
        if (!(pty && errno == EINVAL && line.parity != CSerialLink::kNoParity &&
              ::tcsetattr(fd_, TCSANOW, &rest) == 0))
            return fail(errno, "cannot set the line of " + path_ + ": " + std::strerror(errno));
    }
    // tcsetattr succeeds when any part took effect: check the parts that
    // matter. A pseudo-terminal may drop parity silently.
    termios now{};
    if (::tcgetattr(fd_, &now) != 0)
        return fail(errno, "cannot read back the line of " + path_);
    const tcflag_t checked = CSIZE | CSTOPB | (pty ? 0 : (PARENB | PARODD | CMSPAR));
    if ((now.c_cflag & checked) != (t.c_cflag & checked) || cfgetospeed(&now) != speed)
        return fail(EINVAL, "the device did not accept the line settings");
    return {};
}

} // namespace

std::unique_ptr<IPortDevice> OpenSystemPort(const std::string& name, Result& error)
{
    const std::string path = ResolvePortDevice(name);
    if (path.empty()) {
        error = {ENOENT, "no such device: nothing is known as \"" + name + "\""};
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        error = {code, OpenFailureSentence(code, name, path)};
        return nullptr;
    }
    // flock binds every link, root's included; TIOCEXCL also keeps out
    // programs that do not lock (it does not bind root). Not on a
    // pseudo-terminal: its device side keeps the terminal alive, so a
    // client that died without clearing the flag would lock everyone out
    // until the device side closes.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        error = {code, OpenFailureSentence(code, name, path)};
        return nullptr;
    }
    const bool exclusiveFlag = !IsPseudoTerminalSlave(fd) && ::ioctl(fd, TIOCEXCL) == 0;
    return std::make_unique<PosixPort>(fd, path, exclusiveFlag);
}

} // namespace qav

