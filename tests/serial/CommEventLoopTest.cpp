// The Windows event thread's logic against scripted communications calls:
// what an aborted wait or read means, and how a port that goes away is told.
#include "serial/CommEventLoop.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace qav {
namespace {

constexpr std::uint32_t kErrorAccessDenied = 5; // a removed adapter's handle
constexpr std::uint32_t kErrorBadCommand = 22;
constexpr std::uint32_t kErrorGenFailure = 31;

// One wake of the thread: which pending call ended and how.
struct Step
{
    CommWake wake;
    bool ok = true;
    std::uint32_t value = 0; // events of a wait, else the error of a failure
    std::string bytes;       // arrived: the first ends the one-byte read
    std::uint32_t lineErrors = 0; // what ClearCommError reports next
    bool goneAfter = false;       // the device disappears with this step
};

Step WaitAborted(bool goneAfter = false)
{
    return {CommWake::WaitEnded, false, kErrorOperationAborted, {}, 0, goneAfter};
}
Step WaitFailed(std::uint32_t error)
{
    return {CommWake::WaitEnded, false, error, {}, 0, false};
}
Step WaitEvents(std::uint32_t events, std::uint32_t lineErrors)
{
    return {CommWake::WaitEnded, true, events, {}, lineErrors, false};
}
Step Bytes(std::string bytes)
{
    return {CommWake::FirstByteEnded, true, 0, std::move(bytes), 0, false};
}
Step ReadFailed(std::uint32_t error)
{
    return {CommWake::FirstByteEnded, false, error, {}, 0, false};
}

// A driver that plays the steps in order, then stops the thread.
class ScriptedCalls final : public ICommCalls
{
public:
    ScriptedCalls(bool modemLines, std::deque<Step> steps, int pausesBeforeStop)
        : modemLines_(modemLines), steps_(std::move(steps)), pausesBeforeStop_(pausesBeforeStop)
    {
    }

    int waitStarts = 0;
    int pauses = 0;
    bool cancelMatched = true; // CancelPending named what was pending
    bool waitPending = false;
    bool readPending = false;
    std::size_t stepsLeft() const { return steps_.size(); }

    bool SetMask(std::uint32_t, std::uint32_t&) override { return true; }
    bool ClearError(CommStatus& status, std::uint32_t& error) override
    {
        if (gone_) {
            error = kErrorBadCommand;
            return false;
        }
        status.errors = std::exchange(lineErrors_, 0);
        status.inQueue = static_cast<std::uint32_t>(driver_.size());
        return true;
    }
    CommStart StartWait(std::uint32_t&, std::uint32_t& error) override
    {
        ++waitStarts;
        EXPECT_FALSE(waitPending) << "a second wait while one is pending";
        if (gone_) {
            error = kErrorBadCommand;
            return CommStart::Failed;
        }
        waitPending = true;
        return CommStart::Pending;
    }
    CommStart StartFirstByte(std::uint8_t&, std::uint32_t&, std::uint32_t& error) override
    {
        EXPECT_FALSE(readPending) << "a second read while one is pending";
        if (gone_) {
            error = kErrorBadCommand;
            return CommStart::Failed;
        }
        readPending = true;
        return CommStart::Pending;
    }
    CommWake Await(bool waitWanted, bool readWanted) override
    {
        EXPECT_EQ(waitWanted, waitPending);
        EXPECT_EQ(readWanted, readPending);
        if (steps_.empty())
            return CommWake::Stopped;
        current_ = steps_.front();
        steps_.pop_front();
        if (current_.wake == CommWake::WaitEnded) {
            EXPECT_TRUE(waitPending) << "a wait ended that was never started";
            waitPending = false;
        } else {
            EXPECT_TRUE(readPending) << "a read ended that was never started";
            readPending = false;
        }
        lineErrors_ |= current_.lineErrors;
        gone_ = gone_ || current_.goneAfter;
        return current_.wake;
    }
    bool FinishWait(std::uint32_t& events, std::uint32_t& error) override
    {
        events = current_.ok ? current_.value : 0;
        error = current_.ok ? 0 : current_.value;
        return current_.ok;
    }
    bool FinishFirstByte(std::uint8_t& byte, std::uint32_t& got, std::uint32_t& error) override
    {
        if (!current_.ok) {
            error = current_.value;
            return false;
        }
        driver_.insert(driver_.end(), current_.bytes.begin(), current_.bytes.end());
        got = driver_.empty() ? 0 : 1;
        if (got) {
            byte = driver_.front();
            driver_.erase(driver_.begin());
        }
        return true;
    }
    void CancelPending(bool waitWanted, bool readWanted) override
    {
        cancelMatched = waitWanted == waitPending && readWanted == readPending;
        waitPending = readPending = false;
    }
    bool Read(std::uint8_t* dest, std::uint32_t n, std::uint32_t& got, std::uint32_t& error) override
    {
        if (gone_) {
            error = kErrorBadCommand;
            return false;
        }
        // More than is queued would hang the read for ever (Wine).
        EXPECT_LE(n, driver_.size());
        got = std::min<std::uint32_t>(n, static_cast<std::uint32_t>(driver_.size()));
        std::copy_n(driver_.begin(), got, dest);
        driver_.erase(driver_.begin(), driver_.begin() + got);
        return true;
    }
    bool ModemStatus(std::uint32_t& bits) override
    {
        bits = 0;
        return modemLines_ && !gone_;
    }
    void ClearBreak() override {}
    bool PauseUnlessStopped(std::chrono::milliseconds) override
    {
        ++pauses;
        // Stopped, whatever steps are left, once the pauses are used up: a
        // thread that pauses instead of waiting cannot loop for ever here.
        return pauses > pausesBeforeStop_;
    }

private:
    bool modemLines_;
    std::deque<Step> steps_;
    int pausesBeforeStop_;
    Step current_{CommWake::Stopped, true, 0, {}, 0, false};
    std::string driver_;
    std::uint32_t lineErrors_ = 0;
    bool gone_ = false;
};

using Posted = std::vector<std::pair<std::uint32_t, std::intptr_t>>;

struct Case
{
    const char* name;
    bool modemLines;
    std::deque<Step> steps;
    int pausesBeforeStop; // pauses the thread may take before it is stopped
    // What came of it.
    std::string received;
    bool gone;
    int waitStarts;
    int pauses;
    Posted posted;
};

TEST(CommEventLoop, AbortedCallsAreRepeatedAndAVanishedPortIsTold)
{
    const Posted once{{WM_PORT_RECEIVED, 0}};
    const Posted thrice{{WM_PORT_RECEIVED, 0}, {WM_PORT_RECEIVED, 0}, {WM_PORT_RECEIVED, 0}};
    const Case cases[] = {
        // Wine on a pseudo-terminal: every wait ends with 995 after a few
        // milliseconds. It is waited again at once; the port lives on.
        {"aborted waits", true, {WaitAborted(), WaitAborted(), WaitAborted(), Bytes("hello")}, 0,
         "hello", false, 4, 0, once},
        {"aborted one-byte read", true, {ReadFailed(kErrorOperationAborted), Bytes("xy")}, 0, "xy", false, 1, 0,
         once},
        // Without modem lines no wait is started at all.
        {"no modem lines", false, {Bytes("ab"), Bytes("c")}, 0, "abc", false, 0, 0, Posted{once[0], once[0]}},
        // A failure the thread does not know: tried again after a pause.
        {"wait fails once", true, {WaitFailed(kErrorGenFailure), Bytes("z")}, 1, "z", false, 2, 1, once},
        // A pulled adapter: the calls end aborted and the status is gone.
        // The owner hears at once and again after each pause until it stops
        // the thread.
        {"status gone after 995", true, {WaitAborted(true)}, 2, "", true, 1, 3, thrice},
        {"read refused", true, {ReadFailed(kErrorAccessDenied)}, 2, "", true, 1, 3, thrice},
        {"line error", true, {WaitEvents(EV_ERR, kLineErrorFrame)}, 0, "", false, 2, 0,
         Posted{{WM_PORT_ERROR, kLineErrorFrame}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkMonitor monitor;
        monitor.shared = std::make_shared<LinkShared>();
        const auto owner = std::make_shared<NotifyQueue>();
        monitor.shared->owner = owner;
        ScriptedCalls calls(c.modemLines, c.steps, c.pausesBeforeStop);

        RunCommEventLoop(monitor, calls);

        EXPECT_EQ(calls.stepsLeft(), 0u);
        std::string received(monitor.shared->queue.QueuedCount(), '\0');
        monitor.shared->queue.Take(reinterpret_cast<std::uint8_t*>(received.data()),
                                   static_cast<std::uint32_t>(received.size()));
        EXPECT_EQ(received, c.received);
        EXPECT_EQ(monitor.shared->farSideGone.load(), c.gone);
        EXPECT_EQ(calls.waitStarts, c.waitStarts);
        EXPECT_EQ(calls.pauses, c.pauses);
        Posted posted;
        while (const auto n = owner->TryTake())
            posted.emplace_back(n->message, n->lParam);
        EXPECT_EQ(posted, c.posted);
        // The thread never ends with a call of its own still pending.
        EXPECT_TRUE(calls.cancelMatched);
        EXPECT_FALSE(calls.waitPending);
        EXPECT_FALSE(calls.readPending);
    }
}

} // namespace
} // namespace qav
