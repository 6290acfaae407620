// The event thread of the Windows port: the communications calls of
// CommEventLoop.h made with the system's, on a duplicate of the port handle,
// with a wait record, a read record and a stop event.
#include "platform/TextWin32.h"
#include "serial/CommEventLoop.h"
#include "serial/SerialWin32.h"

namespace qav {
namespace win32 {

OverlappedRecord::OverlappedRecord()
{
    ov_.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

OverlappedRecord::~OverlappedRecord()
{
    if (ov_.hEvent)
        ::CloseHandle(ov_.hEvent);
}

OVERLAPPED* OverlappedRecord::Fresh()
{
    const HANDLE event = ov_.hEvent;
    ov_ = OVERLAPPED{};
    ov_.hEvent = event;
    ::ResetEvent(event);
    return &ov_;
}

namespace {

class Win32CommCalls final : public ICommCalls
{
public:
    Win32CommCalls(HANDLE port, HANDLE stop) : port_(port), stop_(stop) {}

    bool Valid() const { return wait_.Valid() && read_.Valid(); }

    bool SetMask(std::uint32_t mask, std::uint32_t& error) override
    {
        return Check(::SetCommMask(port_, mask), error);
    }

    bool ClearError(CommStatus& status, std::uint32_t& error) override
    {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!Check(::ClearCommError(port_, &errors, &stat), error))
            return false;
        status = {errors, stat.cbInQue, stat.cbOutQue};
        return true;
    }

    CommWaitStart StartWait(std::uint32_t& events, std::uint32_t& error) override
    {
        waitEvents_ = 0;
        if (::WaitCommEvent(port_, &waitEvents_, wait_.Fresh())) {
            events = waitEvents_;
            return CommWaitStart::Event;
        }
        error = ::GetLastError();
        return error == ERROR_IO_PENDING ? CommWaitStart::Pending : CommWaitStart::Failed;
    }

    CommWaitEnd AwaitWait() override
    {
        return WaitOrStop(wait_.Event()) ? CommWaitEnd::Ended : CommWaitEnd::Stopped;
    }

    bool FinishWait(std::uint32_t& events, std::uint32_t& error) override
    {
        DWORD transferred = 0;
        if (!Check(::GetOverlappedResult(port_, wait_.Get(), &transferred, TRUE), error))
            return false;
        events = waitEvents_;
        return true;
    }

    void CancelWait() override { CancelAndFinish(wait_); }

    bool Read(std::uint8_t* dest, std::uint32_t n, std::uint32_t& got, std::uint32_t& error) override
    {
        DWORD done = 0;
        got = 0;
        if (::ReadFile(port_, dest, n, &done, read_.Fresh())) {
            got = done;
            return true;
        }
        if (!Check(::GetLastError() == ERROR_IO_PENDING, error))
            return false;
        // The bytes are queued, so the read ends at once; a stop (or a purge
        // that leaves Wine's read waiting for bytes that were thrown away)
        // must not hold the thread.
        if (!WaitOrStop(read_.Event())) {
            CancelAndFinish(read_);
            error = kErrorOperationAborted;
            return false;
        }
        if (!Check(::GetOverlappedResult(port_, read_.Get(), &done, TRUE), error))
            return false;
        got = done;
        return true;
    }

    bool ModemStatus(std::uint32_t& bits) override
    {
        DWORD status = 0;
        if (!::GetCommModemStatus(port_, &status))
            return false;
        bits = status;
        return true;
    }

    void ClearBreak() override { ::ClearCommBreak(port_); }

    bool PauseUnlessStopped(std::chrono::milliseconds d) override
    {
        return ::WaitForSingleObject(stop_, static_cast<DWORD>(d.count())) == WAIT_OBJECT_0;
    }

private:
    static bool Check(BOOL ok, std::uint32_t& error)
    {
        if (!ok)
            error = ::GetLastError();
        return ok != FALSE;
    }

    // True when `done` is signalled, false when the stop event is.
    bool WaitOrStop(HANDLE done)
    {
        const HANDLE handles[2] = {done, stop_};
        return ::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0;
    }

    // The thread must not leave while the driver may still write into the
    // record (or the buffer): cancel, then wait for the call's end.
    void CancelAndFinish(OverlappedRecord& record)
    {
        ::CancelIo(port_);
        DWORD transferred = 0;
        ::GetOverlappedResult(port_, record.Get(), &transferred, TRUE);
    }

    HANDLE port_;
    HANDLE stop_;
    OverlappedRecord wait_;
    OverlappedRecord read_;
    DWORD waitEvents_ = 0;
};

class Win32Watcher final : public IPortWatcher
{
public:
    ~Win32Watcher() override
    {
        if (port_ != INVALID_HANDLE_VALUE)
            ::CloseHandle(port_);
        if (stop_)
            ::CloseHandle(stop_);
    }

    bool Init(HANDLE port, Result& error)
    {
        stop_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE own = INVALID_HANDLE_VALUE;
        if (stop_ && ::DuplicateHandle(::GetCurrentProcess(), port, ::GetCurrentProcess(), &own, 0, FALSE,
                                       DUPLICATE_SAME_ACCESS)) {
            port_ = own;
            return true;
        }
        const DWORD code = ::GetLastError();
        error = {ErrnoFromError(code), "cannot start the event thread: " + ErrorText(code)};
        return false;
    }

    void Run(LinkMonitor& monitor) override
    {
        Win32CommCalls calls(port_, stop_);
        if (!calls.Valid())
            return;
        RunCommEventLoop(monitor, calls);
    }

    void Stop() override { ::SetEvent(stop_); }

    // The driver reports an emptied transmit queue itself (EV_TXEMPTY), and
    // the loop looks at the queue whenever it wakes; a write needs no wake-up.
    void TransmitStarted() override {}

private:
    HANDLE port_ = INVALID_HANDLE_VALUE;
    HANDLE stop_ = nullptr;
};

} // namespace

std::unique_ptr<IPortWatcher> MakeWin32Watcher(HANDLE port, Result& error)
{
    auto watcher = std::make_unique<Win32Watcher>();
    if (!watcher->Init(port, error))
        return nullptr;
    return watcher;
}

} // namespace win32
} // namespace qav
