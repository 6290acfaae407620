#include "platform/SingleInstance.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qav {
namespace {

constexpr char kRaiseRequest = 'R';
constexpr char kMutexName[] = "QAVNUVAMUTEX";
// How long a second copy waits for the first to accept its request; the
// first may itself be between bind and listen.
constexpr int kConnectTimeoutMs = 1000;

bool MakeAddress(const std::string& name, sockaddr_un& addr, socklen_t& len)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    // Abstract namespace: a leading NUL, then the name without terminator.
    if (name.empty() || name.size() + 1 > sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return true;
}

// Best effort: the answer to a second copy is the message box it shows
// anyway, so failing to reach the first copy is not reported.
void SendRaiseRequest(const sockaddr_un& addr, socklen_t len)
{
    for (int waited = 0; waited < kConnectTimeoutMs; waited += 50) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), len) == 0) {
            (void)!send(fd, &kRaiseRequest, 1, MSG_NOSIGNAL);
            close(fd);
            return;
        }
        const int err = errno;
        close(fd);
        if (err != ECONNREFUSED && err != EAGAIN)
            return;
        poll(nullptr, 0, 50);
    }
}

} // namespace

std::string DefaultInstanceName()
{
    return std::string(kMutexName) + "-" + std::to_string(getuid());
}

CSingleInstance::~CSingleInstance()
{
    if (listenFd_ >= 0)
        close(listenFd_);
}

CSingleInstance::Role CSingleInstance::Claim(const std::string& name)
{
    sockaddr_un addr;
    socklen_t len = 0;
    if (listenFd_ >= 0 || !MakeAddress(name, addr, len))
        return role_ = Role::Unguarded;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return role_ = Role::Unguarded;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
        const int err = errno;
        close(fd);
        if (err != EADDRINUSE)
            return role_ = Role::Unguarded;
        SendRaiseRequest(addr, len);
        return role_ = Role::Second;
    }
    if (listen(fd, 8) != 0) {
        close(fd);
        return role_ = Role::Unguarded;
    }
    listenFd_ = fd;
    return role_ = Role::First;
}

int CSingleInstance::TakeRaiseRequests()
{
    if (listenFd_ < 0)
        return 0;
    int requests = 0;
    for (;;) {
        const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            break; // EAGAIN: nothing more waiting
        // The request byte is sent right after connecting; wait briefly for
        // it so a slow sender is not missed, but never hang on a silent peer.
        pollfd p{client, POLLIN, 0};
        char byte = 0;
        if (poll(&p, 1, 200) > 0 && recv(client, &byte, 1, MSG_DONTWAIT) == 1 && byte == kRaiseRequest)
            ++requests;
        close(client);
    }
    return requests;
}

} // namespace qav
