#include "serial/LineEvents.h"

#include <algorithm>
#include <array>

namespace qav {
namespace {

DispatchResult ReceiveStep(LineDispatch& d, bool& stopped)
{
    DispatchResult result;
    std::uint32_t pending = 0;
    if (!d.port.PendingCount(pending)) {
        // Status unreadable (a removed device): try a small read anyway and
        // notify, so the owner notices and can close the link.
        pending = kUnknownPendingRead;
    } else if (pending == 0) {
        return result;
    }
    const std::uint32_t want = std::min(pending, kMaxReceiveBatch);
    if (d.scratch.size() < want)
        d.scratch.resize(want);
    // Read outside the queue's lock; only the append takes it.
    const std::uint32_t got = d.port.ReadBatch(d.scratch.data(), want);
    d.receivedTotal.fetch_add(got, std::memory_order_relaxed);
    if (got != 0 && !d.keep(d.scratch.data(), got)) {
        stopped = true;
        return result;
    }
    // A step that read nothing still notifies: that is how the owner hears
    // of a device that has gone.
    const bool tell = got == 0 || !d.worthNotifying || d.worthNotifying();
    if (tell && !d.post(WM_PORT_RECEIVED, 0)) {
        stopped = true;
        return result;
    }
    result.received = true;
    result.bytesRead = got;
    return result;
}

struct ModemEvent
{
    std::uint32_t event;
    std::uint32_t message;
    std::uint32_t statusBit;
};
// Notification table: one row per modem line, in dispatch order.
constexpr std::array kModemEvents{
    ModemEvent{EV_CTS, WM_PORT_CTS, MS_CTS_ON},
    ModemEvent{EV_DSR, WM_PORT_DSR, MS_DSR_ON},
    ModemEvent{EV_RING, WM_PORT_RING, MS_RING_ON},
    ModemEvent{EV_RLSD, WM_PORT_CARRIER, MS_RLSD_ON},
};

} // namespace

std::uint32_t ModemChangeEvents(std::uint32_t before, std::uint32_t after)
{
    const std::uint32_t changed = before ^ after;
    std::uint32_t events = 0;
    for (const ModemEvent& row : kModemEvents) {
        if (changed & row.statusBit)
            events |= row.event;
    }
    return events;
}

std::uint32_t LineErrorBits(const LineCounts& before, const LineCounts& after)
{
    std::uint32_t bits = 0;
    // Unsigned differences, so a wrapped total still reads as growth.
    if (after.bufferOverrun - before.bufferOverrun != 0)
        bits |= kLineErrorRxOver;
    if (after.overrun - before.overrun != 0)
        bits |= kLineErrorOverrun;
    if (after.parity - before.parity != 0)
        bits |= kLineErrorParity;
    if (after.frame - before.frame != 0)
        bits |= kLineErrorFrame;
    if (after.breaks - before.breaks != 0)
        bits |= kLineErrorBreak;
    return bits;
}

std::uint32_t LineCountEvents(const LineCounts& before, const LineCounts& after)
{
    const std::uint32_t bits = LineErrorBits(before, after);
    std::uint32_t events = 0;
    if (bits & kLineErrorBreak)
        events |= EV_BREAK;
    if (bits & ~kLineErrorBreak)
        events |= EV_ERR;
    return events;
}

DispatchResult DispatchLineEvents(std::uint32_t events, LineDispatch& d)
{
    DispatchResult result;
    bool stopped = false;
    if (events & EV_RXCHAR)
        result = ReceiveStep(d, stopped);
    // A stopped link tells its owner nothing more.
    if (stopped)
        return result;
    if ((events & EV_TXEMPTY) && !d.post(WM_PORT_TXEMPTY, 0))
        return result;
    for (const ModemEvent& row : kModemEvents) {
        if (!(events & row.event))
            continue;
        // The line's level at the moment of dispatch; off when unreadable.
        std::uint32_t status = 0;
        if (!d.port.ModemStatus(status))
            status = 0;
        if (!d.post(row.message, (status & row.statusBit) ? 1 : 0))
            return result;
    }
    if (events & EV_BREAK) {
        d.port.ClearBreak();
        if (!d.post(WM_PORT_BREAK, 0))
            return result;
    }
    if (events & EV_ERR) {
        std::uint32_t errors = 0;
        if (!d.port.TakeErrors(errors))
            errors = 0;
        d.post(WM_PORT_ERROR, static_cast<std::intptr_t>(errors));
    }
    return result;
}

} // namespace qav
