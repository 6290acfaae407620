#include "serial/CommEventLoop.h"

#include <optional>
#include <vector>

namespace qav {
namespace {

using std::chrono::milliseconds;

// Pause after a call failed for no known reason, and between reports of a
// port that is gone.
constexpr milliseconds kIdleRetry{10};

// What dispatch reads from the driver: the first byte the one-byte read
// brought, then exactly what ClearCommError says is queued behind it.
class CommLinePort final : public ILinePort
{
public:
    explicit CommLinePort(ICommCalls& calls) : calls_(calls) {}

    bool Gone() const { return gone_; }
    void MarkGone() { gone_ = true; }
    void HoldFirstByte(std::uint8_t b)
    {
        first_ = b;
        holding_ = true;
    }
    bool HoldsFirstByte() const { return holding_; }

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
        pending = status.inQueue + (holding_ ? 1 : 0);
        return true;
    }

    // `want` is never more than PendingCount has just said.
    std::uint32_t ReadBatch(std::uint8_t* dest, std::uint32_t want) override
    {
        std::uint32_t got = 0;
        if (holding_ && want != 0) {
            *dest++ = first_;
            holding_ = false;
            got = 1;
            --want;
        }
        if (gone_ || want == 0)
            return got;
        std::uint32_t read = 0, error = 0;
        if (!calls_.Read(dest, want, read, error)) {
            // A read cancelled by the system is no loss of the port; any other
            // failure is.
            if (error != kErrorOperationAborted)
                gone_ = true;
            return got;
        }
        return got + read;
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
    std::uint8_t first_ = 0;
    bool holding_ = false;
};

class CommLoop
{
public:
    CommLoop(LinkMonitor& m, ICommCalls& calls)
        : m_(m), calls_(calls), port_(calls), dispatch_(m.MakeDispatch(port_, scratch_))
    {
    }

    ~CommLoop() { calls_.CancelPending(waitPending_, readPending_); }

    void Run()
    {
        std::uint32_t error = 0, modem = 0;
        // Without its events the port cannot be watched: as good as gone.
        if (!calls_.SetMask(kLinkEventMask, error))
            port_.MarkGone();
        // A port without modem lines (Wine's pseudo-terminal) has no line
        // events to wait for, and there WaitCommEvent holds the thread for
        // milliseconds each time without ever reporting bytes: the thread
        // waits for bytes alone and looks at line errors whenever it wakes.
        lineEvents_ = calls_.ModemStatus(modem);
        while (!m_.stopping.load()) {
            if (port_.Gone()) {
                if (!KeepReportingGone())
                    return;
                continue;
            }
            std::uint32_t events = LookAtDriver();
            if (events == 0 && !port_.Gone()) {
                const std::optional<std::uint32_t> waited = WaitForEvents();
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

    // What is there without waiting: a first byte in, line errors, an
    // emptied transmit queue after a write.
    std::uint32_t LookAtDriver()
    {
        CommStatus status;
        if (!port_.Status(status))
            return 0;
        std::uint32_t events = port_.HoldsFirstByte() ? EV_RXCHAR : 0;
        if (port_.ErrorsSeen() & kLineErrorBreak)
            events |= EV_BREAK;
        if (port_.ErrorsSeen() & ~kLineErrorBreak)
            events |= EV_ERR;
        if (status.outQueue == 0 && m_.txPending.exchange(false))
            events |= EV_TXEMPTY;
        return events;
    }

    // Starts what is not yet waiting and waits for the first to end. The
    // events it brought (0 to look again); nothing once the link stops the
    // thread.
    std::optional<std::uint32_t> WaitForEvents()
    {
        std::uint32_t events = 0, error = 0;
        if (!readPending_) {
            std::uint8_t byte = 0;
            std::uint32_t got = 0;
            switch (calls_.StartFirstByte(byte, got, error)) {
            case CommStart::Done:
                return FirstByte(byte, got);
            case CommStart::Pending:
                readPending_ = true;
                break;
            case CommStart::Failed:
                return AfterFailedRead(error);
            }
        }
        if (!waitPending_ && lineEvents_) {
            switch (calls_.StartWait(events, error)) {
            case CommStart::Done:
                if (const auto e = AfterWait(events))
                    return e;
                break;
            case CommStart::Pending:
                waitPending_ = true;
                break;
            case CommStart::Failed:
                if (!AfterFailedWait(error, false))
                    return std::nullopt;
                break;
            }
        }
        if (!waitPending_ && !readPending_)
            return 0u;
        switch (calls_.Await(waitPending_, readPending_)) {
        case CommWake::Stopped:
            return std::nullopt;
        case CommWake::WaitEnded:
            waitPending_ = false;
            if (calls_.FinishWait(events, error))
                return AfterWait(events).value_or(0u);
            return AfterFailedWait(error, true) ? std::optional<std::uint32_t>(0u) : std::nullopt;
        case CommWake::FirstByteEnded: {
            readPending_ = false;
            std::uint8_t byte = 0;
            std::uint32_t got = 0;
            if (calls_.FinishFirstByte(byte, got, error))
                return FirstByte(byte, got);
            return AfterFailedRead(error);
        }
        }
        return 0u;
    }

    std::uint32_t FirstByte(std::uint8_t byte, std::uint32_t got)
    {
        if (got == 0)
            return 0;
        port_.HoldFirstByte(byte);
        return EV_RXCHAR;
    }

    std::optional<std::uint32_t> AfterFailedRead(std::uint32_t error)
    {
        if (error != kErrorOperationAborted)
            port_.MarkGone();
        return 0u;
    }

    // The events of a wait that ended with some; nothing when it ended
    // without.
    static std::optional<std::uint32_t> AfterWait(std::uint32_t events)
    {
        if (events == 0)
            return std::nullopt;
        return events;
    }

    // A wait that ran and was aborted is started again at once; anything
    // else is tried again, but not too fast (a port that has gone fails its
    // next status). False once the link stops the thread.
    bool AfterFailedWait(std::uint32_t error, bool ran)
    {
        if (error == kErrorOperationAborted && ran)
            return true;
        return !calls_.PauseUnlessStopped(kIdleRetry);
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
    bool waitPending_ = false;
    bool readPending_ = false;
    bool lineEvents_ = true;
};

} // namespace

void RunCommEventLoop(LinkMonitor& monitor, ICommCalls& calls)
{
    CommLoop(monitor, calls).Run();
}

} // namespace qav
