// The Windows port under CSerialLink: CreateFileW on "\\.\COM<n>" for
// overlapped I/O without sharing, the line through the DCB, time-outs,
// purges, overlapped writes and direct reads. Its event thread is in
// SerialEventLoopWin32.cpp.
#include "platform/PortMap.h"
#include "platform/TextWin32.h"
#include "serial/LineSettingsWin32.h"
#include "serial/SerialLink.h"
#include "serial/SerialWin32.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace qav {

using namespace win32;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// The driver's own buffers, as the Windows tool asked for them.
constexpr DWORD kDriverQueueBytes = 4096;
// How often a direct read looks for bytes while it waits.
constexpr milliseconds kDirectReadLook{2};

Result Failure(DWORD code, std::string message)
{
    return {ErrnoFromError(code), std::move(message)};
}

// The reasons in the words the Linux port uses, with its errno values.
Result OpenFailure(DWORD code, const std::string& name)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
        return {ENXIO, "no such device: " + name + " is not connected"};
    // A port opened by another program (or this one) refuses everyone else
    // with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return {EBUSY, name + " is busy: it is already open in this or another program"};
    default:
        return Failure(code, "cannot open " + name + ": " + ErrorText(code));
    }
}

class Win32Port final : public IPortDevice
{
public:
    Win32Port(HANDLE h, std::string name) : h_(h), name_(std::move(name)) {}

    ~Win32Port() override
    {
        FinishWrite(true);
        ::PurgeComm(h_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        ::CloseHandle(h_);
    }

    bool Init(Result& error)
    {
        if (!write_.Valid()) {
            error = Failure(::GetLastError(), "cannot open " + name_ + ": no event for its writes");
            return false;
        }
        // No read time-outs: a read ends when its count has come, as Wine's
        // always do. The event thread asks for one byte to wake on, then for
        // exactly what is queued. A write may take 1 ms a byte plus 10 s.
        COMMTIMEOUTS timeouts{};
        timeouts.WriteTotalTimeoutMultiplier = 1;
        timeouts.WriteTotalTimeoutConstant = 10000;
        if (!::SetupComm(h_, kDriverQueueBytes, kDriverQueueBytes) || !::SetCommTimeouts(h_, &timeouts)) {
            const DWORD code = ::GetLastError();
            error = Failure(code, name_ + " is not a serial device: " + ErrorText(code));
            return false;
        }
        return true;
    }

    const std::string& Path() const override { return name_; }

    Result SetLine(const LineRequest& line) override;

    Result Purge() override
    {
        if (::PurgeComm(h_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
            return {};
        const DWORD code = ::GetLastError();
        return Failure(code, "cannot purge " + name_ + ": " + ErrorText(code));
    }

    std::optional<std::uint32_t> WriteSome(const std::uint8_t* bytes, std::uint32_t n, Result& error) override;

    std::uint32_t ReadDirect(std::uint8_t* dest, std::uint32_t n, milliseconds timeout) override;

    std::unique_ptr<IPortWatcher> MakeWatcher(Result& error) override { return MakeWin32Watcher(h_, error); }

private:
    // Whether the last write is over; with `cancel`, ends it first. A write
    // that failed is left in `failed`.
    bool FinishWrite(bool cancel, DWORD* failed = nullptr);

    HANDLE h_;
    std::string name_;
    // One write at a time: the driver owns the buffer until it is done.
    OverlappedRecord write_;
    std::vector<std::uint8_t> writeBuffer_;
    bool writing_ = false;
};

Result Win32Port::SetLine(const LineRequest& line)
{
    auto fail = [](DWORD code, std::string message) { return Failure(code, std::move(message)); };
    DCB current{};
    current.DCBlength = sizeof current;
    if (!::GetCommState(h_, &current))
        return fail(::GetLastError(), name_ + " is not a serial device");
    const std::optional<DCB> wanted = MakeLineDcb(current, line);
    if (!wanted)
        return fail(ERROR_INVALID_PARAMETER, "unsupported line settings");
    DCB dcb = *wanted;
    if (::SetCommState(h_, &dcb))
        return {};
    const DWORD code = ::GetLastError();
    // A pseudo-terminal under Wine cannot keep parity, and refuses a setting
    // with parity (87) once it has dropped it: with the rest set, that alone
    // is no failure, as on Linux.
    DCB rest = *wanted;
    rest.Parity = current.Parity;
    rest.fParity = current.fParity;
    DCB now{};
    now.DCBlength = sizeof now;
    if (code == ERROR_INVALID_PARAMETER && line.parity != CSerialLink::kNoParity &&
        (LineDcbHolds(current, *wanted, false) || ::SetCommState(h_, &rest)) && ::GetCommState(h_, &now) &&
        LineDcbHolds(now, *wanted, false))
        return {};
    return fail(code, "cannot set the line of " + name_ + ": " + ErrorText(code));
}

bool Win32Port::FinishWrite(bool cancel, DWORD* failed)
{
    if (!writing_)
        return true;
    if (cancel)
        ::CancelIoEx(h_, write_.Get());
    DWORD done = 0;
    if (!::GetOverlappedResult(h_, write_.Get(), &done, cancel ? TRUE : FALSE)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_IO_INCOMPLETE)
            return false;
        if (failed && code != ERROR_OPERATION_ABORTED)
            *failed = code;
    }
    writing_ = false;
    return true;
}

std::optional<std::uint32_t> Win32Port::WriteSome(const std::uint8_t* bytes, std::uint32_t n, Result& error)
{
    DWORD failed = ERROR_SUCCESS;
    // The driver still sends the last frame: it takes nothing more now.
    if (!FinishWrite(false, &failed))
        return 0u;
    if (failed != ERROR_SUCCESS) {
        error = Failure(failed, "cannot write to " + name_ + ": " + ErrorText(failed));
        return std::nullopt;
    }
    // Line errors stop nothing here (fAbortOnError is off), but are cleared
    // before each write as the driver expects.
    DWORD errors = 0;
    ::ClearCommError(h_, &errors, nullptr);
    writeBuffer_.assign(bytes, bytes + n);
    DWORD written = 0;
    if (::WriteFile(h_, writeBuffer_.data(), n, &written, write_.Fresh()))
        return n;
    const DWORD code = ::GetLastError();
    if (code == ERROR_IO_PENDING) {
        writing_ = true;
        return n;
    }
    error = Failure(code, "cannot write to " + name_ + ": " + ErrorText(code));
    return std::nullopt;
}

std::uint32_t Win32Port::ReadDirect(std::uint8_t* dest, std::uint32_t n, milliseconds timeout)
{
    // Only what is queued is asked for, since an overlapped read may wait
    // for its whole count whatever the time-outs say.
    const auto deadline = Clock::now() + timeout;
    OverlappedRecord record;
    for (;;) {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!::ClearCommError(h_, &errors, &stat) || !record.Valid())
            return 0;
        if (stat.cbInQue != 0) {
            const DWORD want = std::min<DWORD>(n, stat.cbInQue);
            DWORD got = 0;
            if (::ReadFile(h_, dest, want, &got, record.Fresh()))
                return got;
            if (::GetLastError() != ERROR_IO_PENDING || !::GetOverlappedResult(h_, record.Get(), &got, TRUE))
                return 0;
            return got;
        }
        if (timeout.count() >= 0 && Clock::now() >= deadline)
            return 0;
        ::Sleep(static_cast<DWORD>(kDirectReadLook.count()));
    }
}

} // namespace

std::unique_ptr<IPortDevice> OpenSystemPort(const std::string& name, Result& error)
{
    const std::string path = ResolvePortDevice(name);
    if (path.empty()) {
        error = {ENOENT, "no such device: nothing is known as \"" + name + "\""};
        return nullptr;
    }
    // No sharing: the port is this link's alone until it closes.
    const HANDLE h = ::CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = OpenFailure(::GetLastError(), name);
        return nullptr;
    }
    auto port = std::make_unique<Win32Port>(h, name);
    if (!port->Init(error))
        return nullptr;
    return port;
}

} // namespace qav
