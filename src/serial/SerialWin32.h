#pragma once
// What the Windows port (SerialPortWin32.cpp) and its event thread
// (SerialEventLoopWin32.cpp) share. Windows only.
#include "serial/SerialPort.h"

#include "platform/WindowsApi.h"

#include <memory>

namespace qav::win32 {

// An OVERLAPPED record with its own manual-reset event.
class OverlappedRecord
{
public:
    OverlappedRecord();
    ~OverlappedRecord();
    OverlappedRecord(const OverlappedRecord&) = delete;
    OverlappedRecord& operator=(const OverlappedRecord&) = delete;

    bool Valid() const { return ov_.hEvent != nullptr; }
    // Ready for the next call: offsets and event cleared.
    OVERLAPPED* Fresh();
    OVERLAPPED* Get() { return &ov_; }
    HANDLE Event() const { return ov_.hEvent; }

private:
    OVERLAPPED ov_{};
};

// The event thread's body for an open port handle (duplicated, so the port
// may close its own meanwhile).
std::unique_ptr<IPortWatcher> MakeWin32Watcher(HANDLE port, Result& error);

} // namespace qav::win32
