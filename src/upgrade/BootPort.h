#pragma once
// The boot loader client's own port: opened with the links' open sequence
// (device map, exclusive lock) at the boards' line settings (115200 baud,
// 8N1), for asking which board's firmware answers, then switched to the boot
// loader's (8 data bits, even parity, one stop bit); and without the event
// thread: the client reads each byte as soon as it arrives, waiting in poll
// on the port and on a stop descriptor, so a stop ends any wait at once.
//
// Threads: Stop may be called from any thread; everything else from the one
// thread that runs the procedure.
#include "serial/SerialLink.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace qav {

enum class PortIo {
    Ok,
    TimedOut,
    Stopped, // Stop was called
    Gone,    // the device went away (hang-up or an error on the descriptor)
};

// What a boot loader client needs from a line; the port below, or a fake in
// tests.
class IBootLine
{
public:
    virtual ~IBootLine() = default;
    // Sends every byte, waiting at most `timeout` for the driver to take them.
    virtual PortIo Send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) = 0;
    // Receives exactly dest.size() bytes within `timeout`.
    virtual PortIo Receive(std::span<std::uint8_t> dest, std::chrono::milliseconds timeout) = 0;
    // Forgets whatever arrived and was not read.
    virtual void DiscardInput() = 0;
    // Bytes the line dropped, unread, since it was made: more came than it
    // holds (a flooding line).
    virtual std::uint64_t DroppedInput() const { return 0; }
};

class BootPort final : public IBootLine
{
public:
    BootPort();
    ~BootPort() override;
    BootPort(const BootPort&) = delete;
    BootPort& operator=(const BootPort&) = delete;

    // "COM<n>" or a device path, at 8N1.
    Result Open(const std::string& nameOrPath);
    // COM<n>; a number outside 1..1024 is refused as the links refuse it.
    Result Open(int portNumber);
    // The boot loader's 8E1.
    Result UseBootLoaderLine();
    void Close();
    bool IsOpen() const { return link_.IsOpen(); }

    // Any thread: ends the current and every later wait with Stopped until
    // Rearm.
    void Stop();
    void Rearm();

    PortIo Send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) override;
    PortIo Receive(std::span<std::uint8_t> dest, std::chrono::milliseconds timeout) override;
    void DiscardInput() override;
    std::uint64_t DroppedInput() const override { return link_.DroppedTotal(); }

    // The most bytes the port keeps unread: many boot loader answers (the
    // longest is 258 bytes), never a flood's worth.
    static constexpr std::uint32_t kReceiveLimit = 64 * 1024;

private:
    class Wakeups;

    Result OpenNamed();
    // Ok once `ready` holds; TimedOut at the deadline; Stopped after Stop;
    // Gone once the far side has hung up.
    PortIo Wait(std::chrono::steady_clock::time_point deadline, const std::function<bool()>& ready);

    std::shared_ptr<Wakeups> wakeups_;
    CSerialLink link_;
};

} // namespace qav
