#pragma once
// Descriptor helpers of the POSIX port (SerialPortPosix.cpp) and its event
// thread (SerialEventLoopPosix.cpp).
#include "serial/LineEvents.h"
#include "serial/SerialPort.h"

#include <chrono>
#include <cstdint>

namespace qav::posix {

using std::chrono::milliseconds;

// A poll time-out for d, never negative.
int PollMs(milliseconds d);
void CloseFd(int& fd);
// Counts up an eventfd, which wakes a poll on it.
void Signal(int eventFd);
void Drain(int eventFd);
// One read of what has arrived, never waiting. Sets hungUp when the far
// side is gone (end of file, or an error such as EIO).
std::uint32_t ReadArrived(int fd, std::uint8_t* dest, std::uint32_t want, bool& hungUp);
bool ReadLineCounts(int fd, LineCounts& counts);
bool ReadModemBits(int fd, std::uint32_t& bits);

// The event thread's body for an open port descriptor (duplicated, so the
// port may close its own meanwhile).
std::unique_ptr<IPortWatcher> MakePosixWatcher(int portFd, Result& error);

} // namespace qav::posix
