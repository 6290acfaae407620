#pragma once
// Line events of a serial link and their dispatch to the owner.
//
// The event thread gathers what happened on the line into an events word
// (the bit values of the Windows comm events, so the word reads the same as
// there) and hands it to DispatchLineEvents, which runs the receive step and
// posts one notification per event, in a fixed order. Dispatch reaches the
// device only through ILinePort, so it can be driven by a scripted port.
#include "serial/BlockQueue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace qav {

// Notifications posted to the owner; wParam is always the port number.
inline constexpr std::uint32_t WM_PORT_RECEIVED = 1642; // lParam 0
inline constexpr std::uint32_t WM_PORT_CTS = 1643;      // lParam 1 when CTS is on
inline constexpr std::uint32_t WM_PORT_DSR = 1644;      // lParam 1 when DSR is on
inline constexpr std::uint32_t WM_PORT_RING = 1645;     // lParam 1 when RING is on
inline constexpr std::uint32_t WM_PORT_CARRIER = 1646;  // lParam 1 when carrier detect is on
inline constexpr std::uint32_t WM_PORT_BREAK = 1647;    // lParam 0
inline constexpr std::uint32_t WM_PORT_TXEMPTY = 1648;  // lParam 0
inline constexpr std::uint32_t WM_PORT_ERROR = 1649;    // lParam: line error bits (kLineError*)

// Events word bits.
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_TXEMPTY = 0x0004;
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t EV_RING = 0x0100;
// The events a link watches for.
inline constexpr std::uint32_t kLinkEventMask = 0x1FD;

// Modem status bits as reported by ILinePort::ModemStatus.
inline constexpr std::uint32_t MS_CTS_ON = 0x10;
inline constexpr std::uint32_t MS_DSR_ON = 0x20;
inline constexpr std::uint32_t MS_RING_ON = 0x40;
inline constexpr std::uint32_t MS_RLSD_ON = 0x80;

// Line error bits as reported by ILinePort::TakeErrors.
inline constexpr std::uint32_t kLineErrorRxOver = 0x0001;  // input buffer overflow
inline constexpr std::uint32_t kLineErrorOverrun = 0x0002; // hardware overrun
inline constexpr std::uint32_t kLineErrorParity = 0x0004;
inline constexpr std::uint32_t kLineErrorFrame = 0x0008;
inline constexpr std::uint32_t kLineErrorBreak = 0x0010;

// What dispatch needs from the device. Called on the event thread only.
class ILinePort
{
public:
    virtual ~ILinePort() = default;
    // Bytes waiting in the driver; false when the status cannot be read
    // (device gone, port closed).
    virtual bool PendingCount(std::uint32_t& pending) = 0;
    // Reads up to `want` bytes that have already arrived into dest, without
    // waiting for more, and returns how many came.
    virtual std::uint32_t ReadBatch(std::uint8_t* dest, std::uint32_t want) = 0;
    // MS_* bits; false when the lines cannot be read.
    virtual bool ModemStatus(std::uint32_t& bits) = 0;
    virtual void ClearBreak() = 0;
    // Line error bits gathered since the last call, cleared by the call;
    // false when they cannot be read.
    virtual bool TakeErrors(std::uint32_t& bits) = 0;
};

// Largest single read of a receive step. Whatever is left stays in the
// driver for the next step, so the cap only bounds the scratch buffer.
inline constexpr std::uint32_t kMaxReceiveBatch = 64 * 1024;
// What a receive step tries to read when the driver cannot say how much is
// pending (a removed device): a small read, so the owner still hears.
inline constexpr std::uint32_t kUnknownPendingRead = 64;

struct LineDispatch
{
    ILinePort& port;
    std::vector<std::uint8_t>& scratch; // reused between steps
    std::atomic<std::uint32_t>& receivedTotal;
    // Appends bytes to the receive queue. Returns false, keeping nothing,
    // once the link has stopped this thread's session: a thread let go by
    // its link can no longer reach the link's next session.
    std::function<bool(const std::uint8_t*, std::uint32_t)> keep;
    // Posts (message, lParam) to the owner with the port number as wParam;
    // false, posting nothing, once the session has been stopped.
    std::function<bool(std::uint32_t, std::intptr_t)> post;
    // Whether the bytes now queued are enough for the owner to act on; when
    // not, they wait in the queue without a notification of their own.
    // Unset: every step that queued bytes notifies.
    std::function<bool()> worthNotifying;
};

struct DispatchResult
{
    bool received = false;       // a receive step ran to its notification
    std::uint32_t bytesRead = 0; // bytes it appended
};

// Events for modem lines whose level changed between two MS_* readings.
std::uint32_t ModemChangeEvents(std::uint32_t before, std::uint32_t after);

// Running totals of line conditions as a UART driver counts them.
struct LineCounts
{
    std::uint32_t breaks = 0;
    std::uint32_t frame = 0;
    std::uint32_t overrun = 0;
    std::uint32_t parity = 0;
    std::uint32_t bufferOverrun = 0;
};
// Error bits (kLineError*) for the counts that grew; totals may wrap.
std::uint32_t LineErrorBits(const LineCounts& before, const LineCounts& after);
// EV_BREAK when breaks grew, EV_ERR when any error count grew.
std::uint32_t LineCountEvents(const LineCounts& before, const LineCounts& after);

// Runs the events of one wake-up in the order: receive step, TXEMPTY, CTS,
// DSR, RING, carrier, BREAK (after clearing the break), ERROR. The receive
// step hands on at once whatever the driver holds; it never waits for more.
// Once the session has been stopped nothing more is kept or posted.
DispatchResult DispatchLineEvents(std::uint32_t events, LineDispatch& d);

} // namespace qav
