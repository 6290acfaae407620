#include "serial/CommEventLoop.h"

#include <optional>
#include <vector>

namespace qav {
namespace {

using std::chrono::milliseconds;

// Pause after a failed wait, and between reports of a port that is gone.
constexpr milliseconds kIdleRetry{10};

// What dispatch reads from the driver, through the calls.
class CommLinePort final : public ILinePort
{
public:
    explicit CommLinePort(ICommCalls& calls) : calls_(calls) {}

    bool Gone() const { return gone_; }
    void MarkGone() { gone_ = true; }

    // ClearCommError, keeping the error bits for TakeErrors.
    bool Status(CommStatus& status)
    {
        std::uint32_t error = 0;
        if (gone_ || !calls_.ClearError(status, error)) {
            gone_ = true;
            return false;
        }
        errors_ |= status.errors;
        return true;
    }

    bool PendingCount(std::uint32_t& pending) override
    {
        CommStatus status;
        if (!Status(status))
            return false;
        pending = status.inQueue;
        return true;
    }

    // Asks for exactly `want`, which the receive step never sets above what
    // ClearCommError has just said is queued.
    std::uint32_t ReadBatch(std::uint8_t* dest, std::uint32_t want) override
    {
        std::uint32_t got = 0, error = 0;
        if (gone_)
            return 0;
        if (!calls_.Read(dest, want, got, error)) {
            // A read cancelled by the system is no loss of the port; any other
            // failure is.
            if (error != kErrorOperationAborted)
                gone_ = true;
            return 0;
        }
        return got;
    }

    bool ModemStatus(std::uint32_t& bits) override { return !gone_ && calls_.ModemStatus(bits); }
    void ClearBreak() override { calls_.ClearBreak(); }

    // What ClearCommError has gathered, this call's included.
    bool TakeErrors(std::uint32_t& bits) override
    {
        CommStatus status;
        Status(status);
        bits = errors_;
        errors_ = 0;
        return true;
    }

    // Error bits seen and not yet taken.
    std::uint32_t ErrorsSeen() const { return errors_; }

private:
    ICommCalls& calls_;
    bool gone_ = false;
    std::uint32_t errors_ = 0;
};

class CommLoop
{
public:
    CommLoop(LinkMonitor& m, ICommCalls& calls)
        : m_(m), calls_(calls), port_(calls), dispatch_(m.MakeDispatch(port_, scratch_))
    {
    }

    void Run()
    {
        std::uint32_t error = 0;
        // Without its events the port cannot be watched: as good as gone.
        if (!calls_.SetMask(kLinkEventMask, error))
            port_.MarkGone();
        while (!m_.stopping.load()) {
            if (port_.Gone()) {
                if (!KeepReportingGone())
                    return;
                continue;
            }
            std::uint32_t events = LookAtDriver();
            if (events == 0 && !port_.Gone()) {
                const auto waited = WaitForEvents();
                if (!waited)
                    return;
                events = *waited;
            }
            if (port_.Gone())
                events |= EV_RXCHAR; // the owner hears of it at once
            if (events != 0)
                Dispatch(events);
        }
    }

private:
    // False once the link stops the thread.
    bool KeepReportingGone()
    {
        if (calls_.PauseUnlessStopped(kIdleRetry))
            return false;
        DispatchLineEvents(EV_RXCHAR, dispatch_);
        return true;
    }

    // What ClearCommError shows: bytes to read, line errors, an emptied
    // transmit queue after a write.
    std::uint32_t LookAtDriver()
    {
        CommStatus status;
        if (!port_.Status(status))
            return 0;
        std::uint32_t events = 0;
        if (status.inQueue != 0)
            events |= EV_RXCHAR;
        if (port_.ErrorsSeen() & kLineErrorBreak)
            events |= EV_BREAK;
        if (port_.ErrorsSeen() & ~kLineErrorBreak)
            events |= EV_ERR;
        if (status.outQueue == 0 && m_.txPending.exchange(false))
            events |= EV_TXEMPTY;
        return events;
    }

    // The events of one WaitCommEvent (0 when it ended without any, to look
    // again); nothing once the link stops the thread.
    std::optional<std::uint32_t> WaitForEvents()
    {
        std::uint32_t events = 0, error = 0;
        switch (calls_.StartWait(events, error)) {
        case CommWaitStart::Event:
            return events;
        case CommWaitStart::Failed:
            return AfterFailedWait(error);
        case CommWaitStart::Pending:
            break;
        }
        if (calls_.AwaitWait() == CommWaitEnd::Stopped) {
            calls_.CancelWait();
            return std::nullopt;
        }
        if (calls_.FinishWait(events, error))
            return events;
        return AfterFailedWait(error);
    }

    std::optional<std::uint32_t> AfterFailedWait(std::uint32_t error)
    {
        // Aborted: wait again at once. Anything else: not too fast; a port
        // that has gone fails its next status.
        if (error != kErrorOperationAborted && calls_.PauseUnlessStopped(kIdleRetry))
            return std::nullopt;
        return 0u;
    }

    void Dispatch(std::uint32_t events)
    {
        if (events & EV_TXEMPTY)
            m_.txPending.store(false);
        // Flagged before the owner hears of it, so an owner woken by the
        // notification already sees the port gone.
        if (port_.Gone())
            m_.MarkFarSideGone();
        DispatchLineEvents(events, dispatch_);
        if (port_.Gone())
            m_.MarkFarSideGone();
    }

    LinkMonitor& m_;
    ICommCalls& calls_;
    CommLinePort port_;
    std::vector<std::uint8_t> scratch_;
    LineDispatch dispatch_;
};

} // namespace

void RunCommEventLoop(LinkMonitor& monitor, ICommCalls& calls)
{
    CommLoop(monitor, calls).Run();
}

} // namespace qav
