#include "platform/SingleInstance.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qav {
namespace {

constexpr char kRaiseRequest = 'R';
// How long a second copy waits for the first to accept its request; the
// first may itself be between bind and listen.
constexpr int kConnectTimeoutMs = 1000;

bool MakeAddress(const std::string& path, sockaddr_un& addr, socklen_t& len)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() + 1 > sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.data(), path.size());
    len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

// A directory of this user that no one else may use.
bool IsPrivateFolder(const std::string& path)
{
    struct stat st;
    return !path.empty() && path[0] == '/' && lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == getuid() && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
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
        // The first copy may hold the lock and not listen yet.
        if (err != ECONNREFUSED && err != EAGAIN && err != ENOENT)
            return;
        poll(nullptr, 0, 50);
    }
}

} // namespace

struct CSingleInstance::Held
{
    int lockFd = -1;
    int listenFd = -1;
    std::string socketPath; // removed on destruction by the first copy
};

std::string PrivateRuntimeFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && IsPrivateFolder(runtime))
        return runtime;
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    if (ec)
        return {};
    // Made by us, or by an earlier run of ours; one that anybody else made
    // (or that is a link) fails the check and is not used.
    const std::string own = (temp / ("qav-nuva-" + std::to_string(getuid()))).string();
    if (mkdir(own.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return IsPrivateFolder(own) ? own : std::string();
}

CSingleInstance::CSingleInstance() : held_(std::make_unique<Held>()) {}

CSingleInstance::~CSingleInstance()
{
    if (held_->listenFd >= 0) {
        close(held_->listenFd);
        // Still under the lock, so no later copy's socket is removed.
        unlink(held_->socketPath.c_str());
    }
    if (held_->lockFd >= 0)
        close(held_->lockFd);
}

int CSingleInstance::ListenFd() const
{
    return held_->listenFd;
}

CSingleInstance::Role CSingleInstance::Claim(const std::string& name)
{
    return Claim(name, PrivateRuntimeFolder());
}

CSingleInstance::Role CSingleInstance::Claim(const std::string& name, const std::string& folder)
{
    const std::string path = folder + "/" + name;
    sockaddr_un addr;
    socklen_t len = 0;
    if (held_->lockFd >= 0 || folder.empty() || name.empty() || name.find('/') != std::string::npos ||
        !MakeAddress(path, addr, len))
        return role_ = Role::Unguarded;
    const std::string lockPath = path + ".lock";
    const int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0)
        return role_ = Role::Unguarded;
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        close(lock);
        if (err != EWOULDBLOCK)
            return role_ = Role::Unguarded;
        SendRaiseRequest(addr, len);
        return role_ = Role::Second;
    }
    held_->lockFd = lock;
    // What a copy that ended without cleaning up left behind.
    unlink(path.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return role_ = Role::First; // guarded, but deaf to raise requests
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return role_ = Role::First;
    }
    held_->listenFd = fd;
    held_->socketPath = path;
    return role_ = Role::First;
}

int CSingleInstance::TakeRaiseRequests()
{
    if (held_->listenFd < 0)
        return 0;
    int requests = 0;
    for (;;) {
        const int client = accept4(held_->listenFd, nullptr, nullptr, SOCK_CLOEXEC);
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
