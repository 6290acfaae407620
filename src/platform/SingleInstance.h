#pragma once
// One running copy per user: the first copy binds a Unix socket in the
// abstract namespace (no file to clean up after a crash; it vanishes with the
// process) and listens on it. A later copy finds the name taken, connects and
// asks the first to bring its window to the front.
//
// Not thread-safe; used from the GUI thread only.
#include <string>

namespace qav {

// "QAVNUVAMUTEX-<uid>": one name per user, so two users on one machine do
// not shut each other out.
std::string DefaultInstanceName();

class CSingleInstance
{
public:
    enum class Role {
        First,     // this copy owns the name and listens for requests
        Second,    // another copy owns it; a raise request has been sent if it could be
        Unguarded, // the socket could not be set up; run without the guard
    };

    CSingleInstance() = default;
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // Claims `name` (at most 100 bytes). Call once.
    Role Claim(const std::string& name);

    Role GetRole() const { return role_; }

    // The listening descriptor of the first copy (readable when a request
    // waits), or -1.
    int ListenFd() const { return listenFd_; }

    // Accepts every waiting connection without blocking and returns how many
    // asked for the window to be raised.
    int TakeRaiseRequests();

private:
    Role role_ = Role::Unguarded;
    int listenFd_ = -1;
};

} // namespace qav
