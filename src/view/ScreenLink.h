#pragma once
// The link of a screen to its board, one piece for the main screen and the
// motor dialog: the serial link and its notifications, the 20 ms tick, the
// receive step that hands bytes to the screen's engine, and the reopen of
// the port that was opened when the board went away with it (an unplugged
// USB adapter never comes back on the old descriptor).
//
// While the timer ticks, each tick first takes what has come (reading the
// device itself where it can) and received bytes wake nobody: the thread
// of the GUI wakes once per tick, the link's event thread only for the
// line's state. The answer to a tick's frame is still taken before the
// next frame is built, so the counter steps on every tick.
//
// The reopen is keyed by the port "Open COM Port" opened, never by what the
// COM list shows or selects meanwhile.
//
// A port opened (or reopened) that gives no valid frame for kNoFrameTicks
// ticks is asked whether a board waits there in its boot loader
// (BootLoaderProbe): the engine's frames stop, the probe sends what it
// decides (sync bytes only, once the line is quiet), and the link either
// goes on as before or, with a boot loader found, keeps its frames back and
// checks again every kRecheckTicks until the boot loader is gone. Frames
// would be taken as commands there, and a board reset with its boot jumper
// still set must hear a sync byte first to take the right baud rate.
//
// GUI thread only.
#include "protocol/FrameIntake.h"
#include "protocol/FrameTransport.h"
#include "serial/SerialLink.h"
#include "upgrade/BootLoaderProbe.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>

namespace qav {

class PostedNotifySink;

// What the screen's engine does for its link.
class IScreenLinkOwner
{
public:
    virtual ~IScreenLinkOwner() = default;
    // One tick: the engine builds and sends its frame and counts the miss.
    virtual void OnLinkTick() = 0;
    // Received bytes, in arrival order, a frame's worth at least.
    virtual void OnLinkBytes(const std::uint8_t* bytes, std::uint32_t count) = 0;
    // Whether the engine counts the link as lost (no answer for too long).
    virtual bool LinkLost() const = 0;
    // Valid frames the engine has taken since it was made (wrapping).
    virtual std::uint32_t FramesTaken() const = 0;
    // Its own frames the engine heard back and ignored (wrapping).
    virtual std::uint32_t EchoesHeard() const = 0;
    // The board on the opened port was found waiting in its boot loader
    // (true), or, found there before, is no longer (false: it was reset, or
    // the port came back after a hang-up). Meanwhile the engine is not
    // ticked.
    virtual void OnBoardInBootLoader(int portNumber, bool waiting) = 0;
};

class ScreenLink final : public QObject, public IFrameTransport
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kTickPeriod{20};
    // While the opened port is gone, it is tried again every half second.
    static constexpr int kReopenEveryTicks = 25;
    // As long as the engines wait for an answer before the link counts as lost.
    static constexpr int kNoFrameTicks = 26;
    // A boot loader found is asked again about once a second.
    static constexpr int kRecheckTicks = 50;

    explicit ScreenLink(IScreenLinkOwner& owner, QObject* parent = nullptr);
    // Stops the tick and the notifications and closes the port.
    ~ScreenLink() override;

    // "Open COM Port": closes the port if open, stops the tick and opens
    // port `number` (nothing outside 1..1024) and says why it did not open;
    // buffered bytes are forgotten. The owner resets its engine, then calls
    // StartTicks, which runs whether or not the port opened.
    Result Open(int number);
    void StartTicks();
    // Hands the port over (the other screen, an upgrade): port closed, tick
    // stopped, no reopen until the next Open.
    void TakeDown();
    // Window end: no more ticks or notifications; the port closes with the
    // link.
    void Detach();

    CSerialLink& Serial() { return serial_; }
    const CSerialLink& Serial() const { return serial_; }
    // The port the last Open opened or tried to (0 before any).
    int OpenedPortNumber() const { return openedPortNumber_; }
    bool TickActive() const { return ticking_; }
    // Tests drive the tick themselves: from now on it runs only when TickNow
    // is called (and only while it would run), never by the timer.
    void TickByHand();
    void TickNow();
    // Valid frames the owner's engine has taken (tests wait for answers).
    std::uint32_t FramesTaken() const { return owner_.FramesTaken(); }
    // Frames of the engine's own that came back (tests wait for echoes).
    std::uint32_t EchoesHeard() const { return owner_.EchoesHeard(); }
    // The opened port went away with its device and is being tried again.
    bool WaitingForDevice() const { return waitingForDevice_; }
    // The probe is running, or found a boot loader: no frames go out.
    bool FramesHeldBack() const { return probing_ || bootLoader_; }
    // A boot loader was found waiting on port `number`, and is still there
    // as far as the last check knows.
    bool BootLoaderWaitsOn(int number) const { return bootLoader_ && number == openedPortNumber_; }

    // IFrameTransport
    bool IsOpen() const override { return serial_.IsOpen(); }
    void WriteFrame(const Frame& frame) override;

protected:
    bool event(QEvent* e) override;

private:
    void StopTicks();
    void OnTick();
    void ReopenAfterHangUp();
    void WatchForFrames();
    void StartWatching();
    void StartProbe();
    void StepProbe();
    // Back to the engine's frames and its receive step.
    void ResumeFrames();
    // The probe and its verdict forgotten (a new opening, a hand-over).
    void ForgetProbe();
    void ReadIntoProbe();
    // The receive step: what the queue holds goes to the probe or the engine.
    void TakeReceived();

    IScreenLinkOwner& owner_;
    CSerialLink serial_;
    std::shared_ptr<PostedNotifySink> notify_;
    FrameIntake intake_;
    QTimer timer_;
    bool ticking_ = false; // between StartTicks and the next stop
    bool byHand_ = false;
    int openedPortNumber_ = 0;
    int ticksSinceHangUp_ = 0;
    bool waitingForDevice_ = false;
    // Whether this opening has yet to give a frame, since when, and how many
    // the engine had taken then.
    bool watchingForFrames_ = false;
    int silentTicks_ = 0;
    std::uint32_t framesAtOpen_ = 0;
    BootLoaderProbe probe_;
    bool probing_ = false;    // the probe's exchange is under way
    bool bootLoader_ = false; // its verdict: a boot loader waits
    int heldTicks_ = 0;       // since the last check found it
};

} // namespace qav
