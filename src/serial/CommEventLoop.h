#pragma once
// The event thread of a port driven by the Windows communications calls.
//
// The loop asks the driver what is queued (ClearCommError); bytes queued are
// read at once, exactly as many as are queued, since an overlapped read
// waits for the whole count whatever the time-outs say (so on Wine); with
// nothing queued it waits for the next line event (overlapped
// WaitCommEvent) or the stop. A wait that ends with ERROR_OPERATION_ABORTED
// is waited again: Wine ends every wait that way after a few milliseconds,
// as it asks a pseudo-terminal for modem lines it does not have. A port
// whose status cannot be read any more (a USB adapter pulled out) or whose
// read fails is gone: the owner is told, then every 10 ms until it stops
// the thread. The thread never returns with an overlapped call pending: a
// wait is cancelled and its end awaited first.
//
// The calls sit behind ICommCalls, so the logic runs on every platform with
// a scripted stand-in; SerialEventLoopWin32.cpp makes them the system's.
#include "serial/SerialPort.h"

#include <chrono>
#include <cstdint>

namespace qav {

// Win32 error codes the loop tells apart.
inline constexpr std::uint32_t kErrorOperationAborted = 995; // ERROR_OPERATION_ABORTED

// What ClearCommError reports (and clears): the error bits and the queues.
struct CommStatus
{
    std::uint32_t errors = 0;   // CE_* bits, which are LineEvents.h's kLineError*
    std::uint32_t inQueue = 0;  // bytes received, not yet read
    std::uint32_t outQueue = 0; // bytes written, not yet sent
};

// How a WaitCommEvent started.
enum class CommWaitStart {
    Event,   // ended at once; events filled in
    Pending, // runs on; AwaitWait, then FinishWait or CancelWait
    Failed,  // error filled in
};

// How waiting for a pending WaitCommEvent ended.
enum class CommWaitEnd {
    Ended,   // FinishWait tells how
    Stopped, // the link stops the thread; the wait still runs
};

// The communications calls of one event thread, all on that thread.
// Error codes are Win32's (GetLastError).
class ICommCalls
{
public:
    virtual ~ICommCalls() = default;
    // SetCommMask.
    virtual bool SetMask(std::uint32_t mask, std::uint32_t& error) = 0;
    // ClearCommError.
    virtual bool ClearError(CommStatus& status, std::uint32_t& error) = 0;
    // WaitCommEvent with the wait record.
    virtual CommWaitStart StartWait(std::uint32_t& events, std::uint32_t& error) = 0;
    // Waits until the pending WaitCommEvent ends or the link stops the
    // thread.
    virtual CommWaitEnd AwaitWait() = 0;
    // GetOverlappedResult of an ended wait: its events, or false with the
    // error it ended with.
    virtual bool FinishWait(std::uint32_t& events, std::uint32_t& error) = 0;
    // CancelIo, then GetOverlappedResult waiting, so the wait is over.
    virtual void CancelWait() = 0;
    // Overlapped ReadFile of n bytes the driver holds, waited for; false with
    // the error when it failed.
    virtual bool Read(std::uint8_t* dest, std::uint32_t n, std::uint32_t& got, std::uint32_t& error) = 0;
    // GetCommModemStatus (MS_* bits); fails where there are no modem lines.
    virtual bool ModemStatus(std::uint32_t& bits) = 0;
    // ClearCommBreak.
    virtual void ClearBreak() = 0;
    // Waits d unless the link stops the thread first; true when it did.
    virtual bool PauseUnlessStopped(std::chrono::milliseconds d) = 0;
};

// The body of the event thread: runs until the link stops it.
void RunCommEventLoop(LinkMonitor& monitor, ICommCalls& calls);

} // namespace qav
