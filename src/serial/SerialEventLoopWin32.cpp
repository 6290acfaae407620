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

    bool Valid() const { return wait_.Valid() && firstByte_.Valid() && read_.Valid(); }

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

    CommStart StartWait(std::uint32_t& events, std::uint32_t& error) override
    {
        waitEvents_ = 0;
        if (::WaitCommEvent(port_, &waitEvents_, wait_.Fresh())) {
            events = waitEvents_;
            return CommStart::Done;
        }
        return Started(error);
    }

    CommStart StartFirstByte(std::uint8_t& byte, std::uint32_t& got, std::uint32_t& error) override
    {
        DWORD done = 0;
        if (::ReadFile(port_, &firstByteBuffer_, 1, &done, firstByte_.Fresh())) {
            byte = firstByteBuffer_;
            got = done;
            return CommStart::Done;
        }
        return Started(error);
    }

    CommWake Await(bool waitPending, bool firstBytePending) override
    {
        HANDLE handles[3] = {stop_};
        DWORD count = 1;
        const DWORD waitAt = waitPending ? count : MAXDWORD;
        if (waitPending)
            handles[count++] = wait_.Event();
        if (firstBytePending)
            handles[count++] = firstByte_.Event();
        const DWORD r = ::WaitForMultipleObjects(count, handles, FALSE, INFINITE);
        if (r == WAIT_OBJECT_0 || r >= WAIT_OBJECT_0 + count)
            return CommWake::Stopped;
        return r - WAIT_OBJECT_0 == waitAt ? CommWake::WaitEnded : CommWake::FirstByteEnded;
    }

    bool FinishWait(std::uint32_t& events, std::uint32_t& error) override
    {
        DWORD transferred = 0;
        if (!Check(::GetOverlappedResult(port_, wait_.Get(), &transferred, TRUE), error))
            return false;
        events = waitEvents_;
        return true;
    }

    bool FinishFirstByte(std::uint8_t& byte, std::uint32_t& got, std::uint32_t& error) override
    {
        DWORD done = 0;
        if (!Check(::GetOverlappedResult(port_, firstByte_.Get(), &done, TRUE), error))
            return false;
        byte = firstByteBuffer_;
        got = done;
        return true;
    }

    // The thread must not leave while the driver may still write into a
    // record or a buffer: cancel, then wait for each call's end.
    void CancelPending(bool waitPending, bool firstBytePending) override
    {
        if (!waitPending && !firstBytePending)
            return;
        ::CancelIo(port_);
        DWORD transferred = 0;
        if (waitPending)
            ::GetOverlappedResult(port_, wait_.Get(), &transferred, TRUE);
        if (firstBytePending)
            ::GetOverlappedResult(port_, firstByte_.Get(), &transferred, TRUE);
    }

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
        // The bytes are queued, so the read ends at once; a stop must not
        // wait for it all the same.
        const HANDLE handles[2] = {read_.Event(), stop_};
        if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
            ::CancelIo(port_);
            ::GetOverlappedResult(port_, read_.Get(), &done, TRUE);
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

    static CommStart Started(std::uint32_t& error)
    {
        error = ::GetLastError();
        return error == ERROR_IO_PENDING ? CommStart::Pending : CommStart::Failed;
    }

    HANDLE port_;
    HANDLE stop_;
    OverlappedRecord wait_;
    OverlappedRecord firstByte_;
    OverlappedRecord read_;
    DWORD waitEvents_ = 0;
    std::uint8_t firstByteBuffer_ = 0;
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
