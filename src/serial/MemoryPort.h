#pragma once
// The in-memory port: a serial line held in memory, with a scripted device
// at its far end, for tests that need neither a pseudo-terminal nor real
// time.
//
// A MemoryDevice registered under a port number is what CSerialLink opens
// for "COM<n>" (before any alias or system device), and the port list shows
// it as "COM<n> (in memory)". Everything else of the link runs as with a
// real port: its event thread, receive queue, notifications and sessions.
// The event thread waits on a condition, not on a clock: it wakes only when
// the device sends, hangs up or takes written bytes, or the link writes or
// stops. The device tells when that thread has handed on everything and
// waits again (WaitUntilIdle), so a test can look for what did not happen
// without sleeping.
//
// Differences from a driver: no modem lines and no line error counts; a
// hang-up is reported once (one WM_PORT_RECEIVED with nothing to read, and
// FarSideGone) rather than every 10 ms; bytes written arrive at the device
// at once, the transmit side is empty as soon as the device holds them.
//
// Threads: every member may be called from any thread.
#include "serial/SerialPort.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qav {

class MemoryDevice
{
public:
    // Called with the bytes of each write the device takes, on the writer's
    // thread, in order; what it returns is sent back to the link before the
    // write returns.
    using Responder = std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t> written)>;

    // Bytes for the link to receive. Dropped once hung up.
    void Send(std::span<const std::uint8_t> bytes);
    // With a responder the device takes every written byte as it comes;
    // without one, written bytes are held for TakeWritten.
    void SetResponder(Responder responder);
    // How many written bytes the device holds before it takes no more, as a
    // device that stopped reading (unlimited after construction). A link
    // then keeps the rest of a frame and refuses the next.
    void SetWriteCapacity(std::size_t bytes);
    // The written bytes held so far, which frees their room.
    std::vector<std::uint8_t> TakeWritten();
    // Waits until at least n written bytes are held, then takes them all;
    // what is held when `patience` runs out otherwise.
    std::vector<std::uint8_t> WaitForWritten(std::size_t n, std::chrono::milliseconds patience);
    // Unplugs the device for good: what was sent and not read is lost,
    // writes fail with EIO, the link hears of it once. A device back under
    // the same name is a new MemoryDevice.
    void HangUp();

    // Waits until every event thread serving this device has dispatched all
    // the device did and waits again (true at once when none serves it);
    // false when `patience` ran out first.
    bool WaitUntilIdle(std::chrono::milliseconds patience);
    // Waits until no link holds the device open and no event thread serves
    // it, a thread let go by its link included.
    bool WaitUntilReleased(std::chrono::milliseconds patience);

    // Holds the event thread that next finds something to do, before it
    // acts on it, until ResumeEventThread: catches it at a chosen moment,
    // for example to let its link give up waiting for it.
    void PauseEventThread();
    bool WaitUntilPaused(std::chrono::milliseconds patience);
    void ResumeEventThread();

    bool IsOpen() const;
    // The line settings last set; nothing before the first.
    std::optional<LineRequest> Line() const;
    // How often the link discarded the driver's buffers.
    int Purges() const;

private:
    friend class MemoryPortDevice;
    friend class MemoryWatcher;
    friend class MemoryLinePort;
    friend std::unique_ptr<IPortDevice> OpenMemoryPort(const std::string& name, Result& error);

    // An event thread's state as the device sees it.
    struct Watch
    {
        bool idle = false;
        std::uint64_t idleAt = 0; // the generation it found nothing to do in
    };
    // Under the lock: something changed that a waiting event thread must
    // look at.
    void Touch() { ++generation_; }
    bool AllIdle() const;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::uint64_t generation_ = 0;
    std::vector<const Watch*> watchers_; // event threads serving the device
    std::deque<std::uint8_t> toLink_;
    std::vector<std::uint8_t> fromLink_;
    std::size_t capacity_ = static_cast<std::size_t>(-1);
    Responder responder_;
    bool hungUp_ = false;
    bool open_ = false;
    enum class Pause { None, Armed, Holding } pause_ = Pause::None;
    std::optional<LineRequest> line_;
    int purges_ = 0;
};

// Makes "COM<number>" open `device` until unregistered; replaces an earlier
// registration of the number.
void RegisterMemoryPort(int number, std::shared_ptr<MemoryDevice> device);
void UnregisterMemoryPort(int number);
// The registered numbers, in order.
std::vector<int> MemoryPortNumbers();

// A fresh device registered under a number for the life of the object.
class ScopedMemoryPort
{
public:
    explicit ScopedMemoryPort(int number);
    ~ScopedMemoryPort();
    ScopedMemoryPort(const ScopedMemoryPort&) = delete;
    ScopedMemoryPort& operator=(const ScopedMemoryPort&) = delete;

    MemoryDevice& Device() { return *device_; }
    MemoryDevice* operator->() { return device_.get(); }
    // Keeps the device alive past a Replug.
    std::shared_ptr<MemoryDevice> Shared() const { return device_; }
    // Replaces the device by a fresh one under the same number, as a board
    // plugged in again after a HangUp.
    MemoryDevice& Replug();

private:
    int number_;
    std::shared_ptr<MemoryDevice> device_;
};

// For CSerialLink::Open: the registered device of a "COM<n>" name, opened
// exclusively. Nothing with error unset when the name is not registered
// (the system's ports are asked next); nothing with error set when the
// device is busy or unplugged.
std::unique_ptr<IPortDevice> OpenMemoryPort(const std::string& name, Result& error);

} // namespace qav
