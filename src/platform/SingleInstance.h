#pragma once
// One running copy per user. The name lives in the user's private runtime
// folder (XDG_RUNTIME_DIR), where no other user can take it first (a name in
// the abstract socket namespace could be bound by anyone, who would then
// keep the program from starting): the first copy holds a lock on
// "<name>.lock" there for its whole life and listens on the socket
// "<name>"; a later copy finds the lock held,
// connects and asks the first to bring its window to the front. A lock
// ends with its process, so a crash leaves nothing that keeps the next copy
// out (a socket file left behind is replaced).
//
// On Windows the name is a mutex of the user's session ("Local\<name>"),
// as the Windows tool had it, and the first copy takes raise requests on a
// named pipe of that session; it has no descriptor to wait on, so its owner
// calls TakeRaiseRequests on a timer.
//
// Not thread-safe; used from the GUI thread only.
#include <memory>
#include <string>

namespace qav {

// "QAVNUVAMUTEX", the Windows tool's mutex name.
std::string DefaultInstanceName();

// The user's private runtime folder: $XDG_RUNTIME_DIR when it is an absolute
// path to a directory of this user that no one else may use (no group or
// other permission bits); else "qav-nuva-<uid>" in the temporary folder,
// made with mode 0700 and checked the same way. Empty when neither will do.
// On Windows, where the names live in the session rather than a folder,
// the user's data folder (%LOCALAPPDATA%); Claim makes no file there.
std::string PrivateRuntimeFolder();

class CSingleInstance
{
public:
    enum class Role {
        First,     // this copy owns the name and listens for requests
        Second,    // another copy owns it; a raise request has been sent if it could be
        Unguarded, // the name could not be set up; run without the guard
    };

    CSingleInstance();
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // Claims `name` in PrivateRuntimeFolder(), or in `folder`. Call once.
    Role Claim(const std::string& name);
    Role Claim(const std::string& name, const std::string& folder);

    Role GetRole() const { return role_; }

    // The listening descriptor of the first copy (readable when a request
    // waits), or -1 (always on Windows).
    int ListenFd() const;

    // Accepts every waiting connection without blocking and returns how many
    // asked for the window to be raised.
    int TakeRaiseRequests();

private:
    struct Held; // what the platform's file keeps of the claim
    Role role_ = Role::Unguarded;
    std::unique_ptr<Held> held_;
};

} // namespace qav
