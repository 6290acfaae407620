#pragma once
// The event thread of a port driven by the Windows communications calls.
//
// Two overlapped calls wait side by side: a read of one byte, which ends as
// the first byte comes, and WaitCommEvent for the line's other events
// (modem lines, breaks, errors, an emptied transmit queue). Once the first
// byte is in, ClearCommError says how many more are queued and exactly that
// many are read (an overlapped read waits for its whole count, whatever the
// time-outs say on Wine; with the port's time-outs set to none it does so
// on Windows too), so bytes are handed on as they come. Wine on a
// pseudo-terminal needs the read: its WaitCommEvent never reports bytes
// there, but holds the thread for milliseconds and ends with nothing or
// with ERROR_OPERATION_ABORTED, for want of modem lines. A wait aborted so
// is waited again; a port without modem lines (GetCommModemStatus fails)
// gets no WaitCommEvent at all: the thread waits for bytes alone and looks
// at line errors and the transmit queue whenever it wakes. A port whose status cannot be read any more (a USB adapter pulled
// out) or whose read fails is gone: the owner is told, then every 10 ms
// until it stops the thread. The thread never returns with an overlapped
// call pending: it cancels them and awaits their end first.
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

// How an overlapped call started.
enum class CommStart {
    Done,    // ended at once; its results filled in
    Pending, // runs on: Await, then its Finish, or CancelPending
    Failed,  // error filled in
};

// The two overlapped calls that wait.
enum class CommOp { Wait, FirstByte };

// What ended an Await.
enum class CommWake { WaitEnded, FirstByteEnded, Stopped };

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
    // WaitCommEvent with the wait record; Done fills in events.
    virtual CommStart StartWait(std::uint32_t& events, std::uint32_t& error) = 0;
    // ReadFile of one byte with the read record; Done fills in byte and got
    // (0 or 1).
    virtual CommStart StartFirstByte(std::uint8_t& byte, std::uint32_t& got, std::uint32_t& error) = 0;
    // Waits until one of the pending calls ends or the link stops the thread.
    virtual CommWake Await(bool waitPending, bool firstBytePending) = 0;
    // GetOverlappedResult of the ended wait: its events, or false with the
    // error it ended with.
    virtual bool FinishWait(std::uint32_t& events, std::uint32_t& error) = 0;
    // GetOverlappedResult of the ended one-byte read.
    virtual bool FinishFirstByte(std::uint8_t& byte, std::uint32_t& got, std::uint32_t& error) = 0;
    // CancelIo, then GetOverlappedResult waiting for each call still
    // pending, so none is.
    virtual void CancelPending(bool waitPending, bool firstBytePending) = 0;
    // Overlapped ReadFile of n bytes the driver holds, waited for; false with
    // the error when it failed or the link stopped the thread meanwhile.
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
