#pragma once
// What the two POSIX halves of CSerialLink share: the port and its reads
// (SerialLinkPosix.cpp) and the event thread (SerialEventLoopPosix.cpp).
#include "serial/BlockQueue.h"
#include "serial/LineEvents.h"
#include "serial/SerialLink.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

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

} // namespace qav::posix

namespace qav {

// What the link and its event thread share; outlives either of them.
struct LinkShared
{
    CBlockQueue queue;
    std::atomic<int> portNumber{-1};
    std::atomic<std::uint32_t> receivedTotal{0};
    std::atomic<bool> farSideGone{false};
    std::mutex ownerLock;
    std::weak_ptr<INotifySink> owner;
    // Each event thread serves one session; StopMonitor starts the next. An
    // event thread changes the queue, the flags and the owner's messages
    // only under this lock and only while its session is current, so a
    // thread let go after an overrun stop wait cannot touch what follows.
    std::mutex sessionLock;
    std::uint64_t session = 0;
    std::atomic<std::uint32_t> notifyThreshold{1};
    // The time one character takes on the line as set (start, data, parity
    // and stop bits), in nanoseconds; 0 until the line is set.
    std::atomic<std::int64_t> characterNs{0};

    void Post(std::uint32_t message, std::intptr_t lParam)
    {
        std::weak_ptr<INotifySink> target;
        {
            std::lock_guard guard(ownerLock);
            target = owner;
        }
        PostNotification(target, message, portNumber.load(), lParam);
    }
};

// One event thread's world. The thread owns a duplicate of the port
// descriptor, so the link can close its own at any time.
struct LinkMonitor
{
    std::shared_ptr<LinkShared> shared;
    std::uint64_t session = 0;
    int fd = -1;
    int stopFd = -1; // signalled once, never drained: every later wait ends at once
    int wakeFd = -1; // signalled by Write when the thread waits with no time-out
    std::atomic<bool> stopping{false};
    std::atomic<bool> txPending{false};
    // Set by the thread while it waits without a time-out: only then does a
    // Write wake it to watch the transmit queue. Otherwise the queue is
    // looked at on the next wake-up, which for a device that answers is the
    // answer's arrival: a transmitted frame costs no wake-up of its own.
    std::atomic<bool> waitingUnbounded{false};
    std::mutex exitLock;
    std::condition_variable exitSignal;
    bool exited = false;

    ~LinkMonitor()
    {
        posix::CloseFd(fd);
        posix::CloseFd(stopFd);
        posix::CloseFd(wakeFd);
    }

    // Runs f under the session lock if this thread's session is still the
    // link's; false (f not run) once the link has moved on.
    template <class F> bool InSession(F&& f)
    {
        std::lock_guard guard(shared->sessionLock);
        if (shared->session != session)
            return false;
        f();
        return true;
    }
};

} // namespace qav
