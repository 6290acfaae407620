// Descriptor helpers both halves of the POSIX link use.
#include "serial/SerialPosix.h"

#include <algorithm>
#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qav::posix {

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

} // namespace qav::posix
