// One running copy per user session on Windows: a named mutex, and a named
// pipe on which the first copy takes raise requests.
#include "platform/SingleInstance.h"

#include "platform/TextWin32.h"
#include "platform/UserFolders.h"

#include <functional>

namespace qav {
namespace {

constexpr char kRaiseRequest = 'R';
// How long a second copy waits for the first copy's pipe to be free.
constexpr DWORD kConnectTimeoutMs = 1000;

// The name's place in the session: the mutex and pipe names of one claim.
// The folder (its hash) keeps copies claiming in different folders apart.
std::wstring ScopedName(const std::string& name, const std::string& folder)
{
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return win32::Widen(name) + L"-" + std::to_wstring(session) + L"-" +
           std::to_wstring(std::hash<std::string>{}(folder));
}

// Best effort, as on every platform: the second copy's message box is the
// answer either way.
void SendRaiseRequest(const std::wstring& pipe)
{
    HANDLE h = ::CreateFileW(pipe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_PIPE_BUSY &&
        ::WaitNamedPipeW(pipe.c_str(), kConnectTimeoutMs))
        h = ::CreateFileW(pipe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(h, &kRaiseRequest, 1, &written, nullptr);
    ::CloseHandle(h);
}

} // namespace

struct CSingleInstance::Held
{
    HANDLE mutex = nullptr;
    HANDLE pipe = INVALID_HANDLE_VALUE;
};

std::string PrivateRuntimeFolder()
{
    return UserDataFolder();
}

CSingleInstance::CSingleInstance() : held_(std::make_unique<Held>()) {}

CSingleInstance::~CSingleInstance()
{
    if (held_->pipe != INVALID_HANDLE_VALUE)
        ::CloseHandle(held_->pipe);
    if (held_->mutex)
        ::CloseHandle(held_->mutex);
}

int CSingleInstance::ListenFd() const
{
    return -1;
}

CSingleInstance::Role CSingleInstance::Claim(const std::string& name)
{
    return Claim(name, PrivateRuntimeFolder());
}

CSingleInstance::Role CSingleInstance::Claim(const std::string& name, const std::string& folder)
{
    if (held_->mutex || name.empty() || name.find('\\') != std::string::npos)
        return role_ = Role::Unguarded;
    const std::wstring scoped = ScopedName(name, folder);
    const std::wstring pipe = L"\\\\.\\pipe\\" + scoped;
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, (L"Local\\" + scoped).c_str());
    if (!mutex)
        return role_ = Role::Unguarded;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        SendRaiseRequest(pipe);
        return role_ = Role::Second;
    }
    held_->mutex = mutex;
    // Never waits: TakeRaiseRequests only looks at what has come.
    held_->pipe = ::CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                     PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                     1, 0, 16, 0, nullptr);
    // Without the pipe: guarded, but deaf to raise requests.
    return role_ = Role::First;
}

int CSingleInstance::TakeRaiseRequests()
{
    if (held_->pipe == INVALID_HANDLE_VALUE)
        return 0;
    int requests = 0;
    for (;;) {
        // In no-wait mode this says at once whether a client has come (and
        // maybe gone again, having written its byte).
        const DWORD state = ::ConnectNamedPipe(held_->pipe, nullptr) ? ERROR_PIPE_CONNECTED : ::GetLastError();
        if (state != ERROR_PIPE_CONNECTED && state != ERROR_NO_DATA)
            break;
        char byte = 0;
        DWORD got = 0;
        if (::ReadFile(held_->pipe, &byte, 1, &got, nullptr) && got == 1 && byte == kRaiseRequest)
            ++requests;
        ::DisconnectNamedPipe(held_->pipe);
    }
    return requests;
}

} // namespace qav
