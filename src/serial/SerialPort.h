#pragma once
// The port layer under CSerialLink.
//
// CSerialLink (SerialLink.cpp) holds what every platform shares: the
// receive queue, the transmit rest, the totals, the event thread's start,
// stop and sessions. What touches a device sits behind IPortDevice (one
// opened device) and IPortWatcher (the body of its event thread). CMake
// chooses the system's implementation: *Posix.cpp (termios, poll) on Linux,
// *Win32.cpp (CreateFileW, overlapped WaitCommEvent) on Windows; the
// in-memory port (MemoryPort.h), for tests, is built on every platform and
// is found first when a name has been registered with it.
#include "platform/Notify.h"
#include "platform/Result.h"
#include "serial/BlockQueue.h"
#include "serial/LineEvents.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace qav {

// Line settings as SetLine takes them (the CSerialLink::k* constants).
struct LineRequest
{
    std::uint32_t baud = 0;
    std::uint8_t parity = 0;
    std::uint8_t dataBits = 8;
    std::uint8_t stopBits = 0;

    bool operator==(const LineRequest&) const = default;
    // The time one character takes (start, data, parity and stop bits).
    std::chrono::nanoseconds CharacterTime() const;
};

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
    // False while the owner takes received bytes on a timer of its own.
    std::atomic<bool> notifyReceived{true};
    // Meanwhile, where the device allows it, the owner also reads them
    // itself and the event thread leaves them alone: it then wakes for the
    // line's state only, not for every answer.
    std::atomic<bool> ownerReads{false};
    // One reader of the device at a time, so bytes are queued in order.
    std::mutex readLock;
    // The time one character takes on the line as set, in nanoseconds; 0
    // until the line is set.
    std::atomic<std::int64_t> characterNs{0};

    void Post(std::uint32_t message, std::intptr_t lParam);
};

class IPortWatcher;

// One event thread's world: the session it serves and its platform body.
struct LinkMonitor
{
    std::shared_ptr<LinkShared> shared;
    std::uint64_t session = 0;
    std::unique_ptr<IPortWatcher> watcher;
    std::atomic<bool> stopping{false};
    // A frame went out since the thread last reported the transmit side
    // empty.
    std::atomic<bool> txPending{false};
    std::mutex exitLock;
    std::condition_variable exitSignal;
    bool exited = false;

    ~LinkMonitor();

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

    // Dispatch wired to this session: bytes go to the receive queue, posts
    // to the owner, both only while the session is current; the owner is
    // told of bytes once the queue holds its notify threshold.
    LineDispatch MakeDispatch(ILinePort& port, std::vector<std::uint8_t>& scratch);
    void MarkFarSideGone();
    // Bytes now queued but fewer than the owner waits for: the time the line
    // needs for the rest, capped at `cap`; zero when nothing is missing.
    std::chrono::nanoseconds RestOfFrame(std::chrono::nanoseconds cap) const;
};

// The platform body of an event thread. Run is called once, on the event
// thread; Stop and TransmitStarted from the owner's thread at any time, also
// after Run has returned. The watcher keeps what it needs of the device
// (its own duplicate of a descriptor, say), so the link may close the device
// while the thread still runs.
class IPortWatcher
{
public:
    virtual ~IPortWatcher() = default;
    // Waits for line events and dispatches them until Stop.
    virtual void Run(LinkMonitor& monitor) = 0;
    // Ends the current and every later wait at once.
    virtual void Stop() = 0;
    // The link has set monitor.txPending: a watcher that waits without
    // looking at the transmit side should look.
    virtual void TransmitStarted() = 0;
    // LinkShared::ownerReads changed: a watcher that waits for received
    // bytes should look again at what it waits for.
    virtual void Rewatch() {}
};

// One opened device. Owner's thread only. Destroying it closes the device
// (discarding what the driver still holds).
class IPortDevice
{
public:
    virtual ~IPortDevice() = default;
    // The path actually opened (an alias link or a device).
    virtual const std::string& Path() const = 0;
    // Speed, parity, data and stop bits in raw mode. May be called while the
    // event thread runs (the boot loader's line follows the boards').
    virtual Result SetLine(const LineRequest& line) = 0;
    // Discards everything unread and unsent in the driver.
    virtual Result Purge() = 0;
    // Hands up to n bytes to the driver without waiting and says how many it
    // took; nothing, with error set, when the device failed.
    virtual std::optional<std::uint32_t> WriteSome(const std::uint8_t* bytes, std::uint32_t n,
                                                   Result& error) = 0;
    // Waits up to timeout (negative: no limit) for bytes and returns as soon
    // as some have come, up to n. For links without a receive queue.
    virtual std::uint32_t ReadDirect(std::uint8_t* dest, std::uint32_t n, std::chrono::milliseconds timeout) = 0;
    // Whether the owner's thread may read the device beside the event
    // thread (ReadNow); false where only the event thread can read it.
    virtual bool OwnerCanRead() const { return false; }
    // What has arrived, up to n, without waiting (only where OwnerCanRead).
    virtual std::uint32_t ReadNow(std::uint8_t* /*dest*/, std::uint32_t /*n*/) { return 0; }
    // The body of an event thread for this device; nothing, with error set,
    // when it cannot be made.
    virtual std::unique_ptr<IPortWatcher> MakeWatcher(Result& error) = 0;
    // A descriptor tests may wait on and use themselves; -1 where there is
    // none (the in-memory port, Windows).
    virtual int NativeHandle() const { return -1; }
};

// Opens the system's device for a name ("COM<n>" through the device map, or
// a device path), exclusively; nothing, with error set, on failure.
// Defined by the platform's port file.
std::unique_ptr<IPortDevice> OpenSystemPort(const std::string& name, Result& error);

} // namespace qav
