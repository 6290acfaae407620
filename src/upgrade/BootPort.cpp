#include "upgrade/BootPort.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace qav {

using Clock = std::chrono::steady_clock;

BootPort::BootPort() : stopFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

BootPort::~BootPort()
{
    Close();
    if (stopFd_ >= 0)
        ::close(stopFd_);
}

bool BootPort::Open(const std::string& nameOrPath)
{
    link_.Close(std::chrono::milliseconds{0});
    return NameLinkDevice(link_, nameOrPath) && OpenNamed();
}

bool BootPort::Open(int portNumber)
{
    link_.Close(std::chrono::milliseconds{0});
    return NameLinkDevice(link_, portNumber) && OpenNamed();
}

bool BootPort::OpenNamed()
{
    if (!link_.Open())
        return false;
    if (!link_.SetLine(115200, CSerialLink::kNoParity, 8, CSerialLink::kOneStopBit) || !link_.Setup()) {
        link_.Close(std::chrono::milliseconds{0});
        return false;
    }
    return true;
}

bool BootPort::UseBootLoaderLine()
{
    return link_.SetLine(115200, CSerialLink::kEvenParity, 8, CSerialLink::kOneStopBit);
}

void BootPort::Close()
{
    link_.Close(std::chrono::milliseconds{0});
}

void BootPort::Stop()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopFd_, &one, sizeof one);
}

void BootPort::Rearm()
{
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t n = ::read(stopFd_, &value, sizeof value);
}

PortIo BootPort::Wait(short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        // Round up so a wait never ends a little early and spins.
        const int ms = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count() + 1, 0));
        std::array<pollfd, 2> fds{pollfd{link_.NativeHandle(), events, 0}, pollfd{stopFd_, POLLIN, 0}};
        const int r = ::poll(fds.data(), fds.size(), left.count() < 0 ? 0 : ms);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return PortIo::Gone;
        }
        if (fds[1].revents)
            return PortIo::Stopped;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return PortIo::Gone;
        if (fds[0].revents & events)
            return PortIo::Ok;
        if (Clock::now() >= deadline)
            return PortIo::TimedOut;
    }
}

PortIo BootPort::Send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout)
{
    if (!IsOpen())
        return PortIo::Gone;
    const auto deadline = Clock::now() + timeout;
    while (!bytes.empty()) {
        const ssize_t n = ::write(link_.NativeHandle(), bytes.data(), bytes.size());
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return PortIo::Gone;
        if (const PortIo r = Wait(POLLOUT, deadline); r != PortIo::Ok)
            return r;
    }
    return PortIo::Ok;
}

PortIo BootPort::Receive(std::span<std::uint8_t> dest, std::chrono::milliseconds timeout)
{
    if (!IsOpen())
        return PortIo::Gone;
    const auto deadline = Clock::now() + timeout;
    while (!dest.empty()) {
        // Wait first: with VMIN and VTIME 0 a read of an empty line returns
        // 0, which after a readable poll means the far side hung up.
        if (const PortIo r = Wait(POLLIN, deadline); r != PortIo::Ok)
            return r;
        const ssize_t n = ::read(link_.NativeHandle(), dest.data(), dest.size());
        if (n > 0)
            dest = dest.subspan(static_cast<std::size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return PortIo::Gone;
    }
    return PortIo::Ok;
}

void BootPort::DiscardInput()
{
    if (IsOpen())
        ::tcflush(link_.NativeHandle(), TCIFLUSH);
}

} // namespace qav
