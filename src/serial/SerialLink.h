#pragma once
// CSerialLink: one serial port with an event thread and a receive queue.
//
// Life: construct, SetMode(kOwnerMode), SetOwner, SetPortNumber and
// SetDeviceName (or use OpenLinkSequence), Open, SetLine, Setup,
// StartMonitor(0); then Write and Read from the owner's thread; Close(kCloseWaitMs).
//
// Threads: every member function is for the owner's thread only. The event
// thread (one per open, monitored link) reads received bytes into the
// receive queue under the queue's lock as soon as the driver has them and
// posts notifications to the owner (WM_PORT_* in serial/LineEvents.h,
// wParam = port number). Read and QueuedCount may run while it appends.
//
// Sessions: nothing crosses from one opening to the next. Open drops
// whatever the receive queue still holds, and an event thread that outlived
// its stop wait can no longer queue bytes, set flags or post.
//
// Device: the name is "COM<n>" (resolved through the device map, see
// platform/PortMap.h) or an absolute device path. The device is opened
// non-blocking and locked exclusively, so a second link (in this or another
// process) cannot open it; a failed Open returns the reason. A name registered with the in-memory port
// (MemoryPort.h) opens that instead; the port layer is described in SerialPort.h.
//
// A far side that hangs up (an unplugged adapter, a closed pseudo-terminal
// master) leaves the link open: the event thread then posts WM_PORT_RECEIVED
// about every 10 ms with nothing to read until the owner closes the link.
//
// Bytes go to the owner as soon as the driver has them. The Windows tool let
// a read end only after 2 x pending + 64 bytes, 100 ms of quiet or 500 ms:
// every answer came about 100 ms late and live values changed in bursts of
// four. Nothing here depends on that rule.
//
// The exclusive lock goes with the last duplicate of the descriptor, so a
// reopen right after a stop whose thread was detached may briefly find the
// device busy.
#include "platform/Notify.h"
#include "platform/Result.h"
#include "serial/LineEvents.h"
#include "serial/SerialPort.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qav {

// What became of a frame handed to CSerialLink::Write.
enum class WriteResult {
    Accepted, // the driver took all of it
    Held,     // the driver took part; the rest is kept and goes out first next time
    Refused,  // nothing of it goes out
};

class CSerialLink
{
public:
    static constexpr std::uint32_t MODE_EVENT_THREAD = 0x01; // StartMonitor runs the event thread
    static constexpr std::uint32_t MODE_RX_QUEUE = 0x04;     // the event thread fills the receive queue
    static constexpr std::uint32_t kOwnerMode = MODE_EVENT_THREAD | MODE_RX_QUEUE;

    // SetLine arguments, with the meanings of the Windows line settings.
    static constexpr std::uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3,
                                  kSpaceParity = 4;
    static constexpr std::uint8_t kOneStopBit = 0, kTwoStopBits = 2;

    // A Read time-out without limit.
    static constexpr std::chrono::milliseconds kInfinite = std::chrono::milliseconds::max();

    CSerialLink();
    ~CSerialLink();
    CSerialLink(const CSerialLink&) = delete;
    CSerialLink& operator=(const CSerialLink&) = delete;

    void SetMode(std::uint32_t mode) { mode_ = mode; }
    std::uint32_t Mode() const { return mode_; }
    // The owner receives the notifications; it may be destroyed at any
    // time, after which notifications are dropped.
    void SetOwner(std::weak_ptr<INotifySink> owner);
    // Sent as wParam with every notification; -1 after construction.
    void SetPortNumber(int number);
    int PortNumber() const;
    void SetDeviceName(std::string name) { deviceName_ = std::move(name); }
    const std::string& DeviceName() const { return deviceName_; }
    // The path actually opened (an alias link or a device), empty while closed.
    const std::string& DevicePath() const { return devicePath_; }

    bool IsOpen() const { return port_ != nullptr; }
    // The open device's descriptor, -1 while closed (and for the in-memory
    // and the Windows port): for tests that look at the device itself.
    int NativeHandle() const { return port_ ? port_->NativeHandle() : -1; }
    bool IsMonitoring() const { return thread_.joinable(); }

    // Opens the device named by DeviceName (closing first if open). Bytes
    // still queued from an earlier opening are dropped.
    Result Open();
    // Speed in bit/s; parity and stop bits as the k* constants above; data
    // bits 5 to 8. Also puts the line in raw mode (no echo, no line editing,
    // no software flow control, no character translation); hardware flow
    // control and the modem-control settings are kept. A pseudo-terminal,
    // which cannot keep parity, is not refused for that alone.
    // A closed link fails with ENXIO.
    Result SetLine(std::uint32_t baud, std::uint8_t parity, std::uint8_t dataBits, std::uint8_t stopBits);
    // Discards everything unread and unsent in the driver.
    Result Setup();
    // ORs extraModeBits into the mode and, with MODE_EVENT_THREAD, starts
    // the event thread. Fails with EBUSY when a thread already exists, with
    // ENXIO when the port is closed.
    Result StartMonitor(std::uint32_t extraModeBits);
    // Stops the event thread, waiting up to wait for it to end. A thread
    // that takes longer is let go: it holds its own duplicate of the
    // descriptor, is cut off from the link at once (it drops what it reads
    // and posts nothing more; a post already in flight is let finish) and
    // closes its descriptors itself when it ends. False when no thread
    // exists.
    bool StopMonitor(std::chrono::milliseconds wait);
    // Stops the thread (as StopMonitor), discards the driver's buffers and
    // closes the device. Nothing when closed.
    void Close(std::chrono::milliseconds wait);
    // How long every owner lets Close wait for the event thread.
    static constexpr std::chrono::milliseconds kCloseWaitMs{500};

    // Hands n bytes to the driver without waiting. Bytes the driver could
    // not take at once are kept (Held) and go out first at the next Write;
    // while such a rest is still unsent, a new Write is Refused and its
    // bytes are dropped (whole frames on the wire, never interleaved
    // pieces). Refused also when closed or n is 0. Every failure (a device
    // gone with EIO, dropped bytes) is told in `why` when given; a closed
    // link or an empty frame leaves it alone. Most owners only count on the
    // answer that never comes, so the reason is theirs to ask for.
    WriteResult Write(const std::uint8_t* bytes, std::uint32_t n, Result* why = nullptr);
    // Offers the rest a Write left Held to the driver again: Accepted once
    // none is left (also when there was none), Held while some still is,
    // Refused when the device failed (`why` tells why) or is closed.
    WriteResult WriteHeld(Result* why = nullptr);
    // With MODE_RX_QUEUE: takes up to n bytes from the receive queue (dest
    // may be null to discard them); the time-out is not used. Without it:
    // waits up to timeout (kInfinite: no limit) for bytes from the device
    // and returns as soon as some have come, up to n.
    std::uint32_t Read(std::uint8_t* dest, std::uint32_t n, std::chrono::milliseconds timeout);
    std::uint32_t QueuedCount() const;
    // The receive queue holds at most this many bytes: a line that floods
    // faster than its owner reads loses its oldest bytes, never the memory
    // of the program. kReceiveLimit after construction.
    static constexpr std::uint32_t kReceiveLimit = 1024 * 1024;
    void SetReceiveLimit(std::uint32_t bytes);
    // Bytes the receive queue dropped for its limit since construction.
    std::uint64_t DroppedTotal() const;
    bool HasRxQueue() const { return (mode_ & MODE_RX_QUEUE) != 0; }
    // With MODE_RX_QUEUE: received bytes are queued at once, but
    // WM_PORT_RECEIVED is posted for them only once the queue holds at least
    // this many (at least 1; 1 after construction), so an owner that needs
    // a whole frame is not woken for every byte of a slow line. A device
    // that has gone is still reported. The owner sets it after draining and
    // must then check QueuedCount() itself: bytes queued just before may
    // have had no notification.
    void SetNotifyThreshold(std::uint32_t bytes);
    // Off: received bytes are queued but never notified (the owner drains
    // the queue on a timer); a device that has gone still is. On after
    // construction.
    void NotifyReceived(bool notify);
    // While received bytes are not notified: queues what the device holds,
    // read on the caller's thread where the device allows it (the event
    // thread then does not wake for received bytes at all). Returns the
    // bytes queued.
    std::uint32_t TakeArrived();

    // True once the event thread has seen the far side hang up (an adapter
    // unplugged, a pseudo-terminal's master closed) since the last Open. Any
    // thread.
    bool FarSideGone() const;

    // Byte totals since construction (wrapping).
    std::uint32_t ReceivedTotal() const;
    std::uint32_t SentTotal() const { return sentTotal_; }

private:
    void WakeMonitor();

    std::uint32_t mode_ = 0;
    std::unique_ptr<IPortDevice> port_;
    std::string deviceName_;
    std::string devicePath_;
    std::shared_ptr<LinkShared> shared_;
    std::shared_ptr<LinkMonitor> monitor_;
    // Sets LinkShared::ownerReads from the notify flag and the device.
    void UpdateOwnerReads();
    std::thread thread_;
    std::vector<std::uint8_t> txRest_;
    std::uint32_t sentTotal_ = 0;
};

// The sentence a front end shows when a port does not open, e.g. "Cannot
// open COM5: COM5 (/dev/ttyUSB0) is busy: it is already open in this or
// another program."
std::string PortOpenFailure(std::string_view port, const Result& error);

// Both owners' way of connecting: closes the link if open; for a number in
// 1..1024 sets the port number and the device name "COM<n>", opens, sets
// 115200 8N1, discards buffers and starts the event thread; closes the link
// again on any failure, which it returns. Numbers outside 1..1024 open
// nothing.
Result OpenLinkSequence(CSerialLink& link, int portNumber);
// The same for "COM<n>" or an absolute device path. A path gets the COM
// number of its device family as port number, or 0 outside the families.
Result OpenLinkSequence(CSerialLink& link, std::string_view nameOrPath);
// The first steps of that sequence, for a link opened otherwise: closes the
// link if open, checks the name and sets the port number and device name.
// Fails with EINVAL when the name is no port.
Result NameLinkDevice(CSerialLink& link, int portNumber);
Result NameLinkDevice(CSerialLink& link, std::string_view nameOrPath);

} // namespace qav
