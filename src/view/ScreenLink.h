#pragma once
// The link of a screen to its board, one piece for the main screen and the
// motor dialog: the serial link and its notifications, the 20 ms tick, the
// receive step that hands bytes to the screen's engine, and the reopen of
// the port that was opened when the board went away with it (an unplugged
// USB adapter never comes back on the old descriptor).
//
// The reopen is keyed by the port "Open COM Port" opened, never by what the
// COM list shows or selects meanwhile.
//
// GUI thread only.
#include "protocol/FrameIntake.h"
#include "protocol/FrameTransport.h"
#include "serial/SerialLink.h"

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
    // The port opened (or reopened after a hang-up) has given no valid frame
    // for kNoFrameTicks ticks; once per opening. Where a screen looks at
    // what else may be on the port (a board waiting in its boot loader).
    virtual void OnPortGaveNoFrame(int /*portNumber*/) {}
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

    explicit ScreenLink(IScreenLinkOwner& owner, QObject* parent = nullptr);
    // Stops the tick and the notifications and closes the port.
    ~ScreenLink() override;

    // "Open COM Port": closes the port if open, stops the tick and opens
    // port `number` (nothing outside 1..1024; LastError says why it did not
    // open); buffered bytes are forgotten. The owner resets its engine, then
    // calls StartTicks, which runs whether or not the port opened.
    bool Open(int number);
    void StartTicks() { timer_.start(); }
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
    bool TickActive() const { return timer_.isActive(); }
    // The opened port went away with its device and is being tried again.
    bool WaitingForDevice() const { return waitingForDevice_; }

    // IFrameTransport
    bool IsOpen() const override { return serial_.IsOpen(); }
    void WriteFrame(const Frame& frame) override;

protected:
    bool event(QEvent* e) override;

private:
    void OnTick();
    void ReopenAfterHangUp();
    void WatchForFrames();
    void StartWatching();

    IScreenLinkOwner& owner_;
    CSerialLink serial_;
    std::shared_ptr<PostedNotifySink> notify_;
    FrameIntake intake_;
    QTimer timer_;
    int openedPortNumber_ = 0;
    int ticksSinceHangUp_ = 0;
    bool waitingForDevice_ = false;
    // Whether this opening has yet to give a frame, since when, and how many
    // the engine had taken then.
    bool watchingForFrames_ = false;
    int silentTicks_ = 0;
    std::uint32_t framesAtOpen_ = 0;
};

} // namespace qav
