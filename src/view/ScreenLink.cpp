#include "view/ScreenLink.h"

#include "ui/PostedNotify.h"

#include <array>

namespace qav {

ScreenLink::ScreenLink(IScreenLinkOwner& owner, QObject* parent) : QObject(parent), owner_(owner)
{
    serial_.SetMode(CSerialLink::kOwnerMode);
    // Only received bytes are acted on.
    notify_ = std::make_shared<PostedNotifySink>(this, std::initializer_list<std::uint32_t>{WM_PORT_RECEIVED});
    serial_.SetOwner(notify_);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kTickPeriod);
    connect(&timer_, &QTimer::timeout, this, &ScreenLink::OnTick);
}

ScreenLink::~ScreenLink()
{
    Detach();
    serial_.Close(CSerialLink::kCloseWaitMs);
}

Result ScreenLink::Open(int number)
{
    if (serial_.IsOpen())
        serial_.Close(CSerialLink::kCloseWaitMs);
    StopTicks();
    waitingForDevice_ = false;
    watchingForFrames_ = false;
    ForgetProbe();
    openedPortNumber_ = number;
    Result opened = OpenLinkSequence(serial_, number);
    intake_.Clear();
    if (opened)
        StartWatching();
    return opened;
}

void ScreenLink::TakeDown()
{
    waitingForDevice_ = false;
    watchingForFrames_ = false;
    ForgetProbe();
    serial_.Close(CSerialLink::kCloseWaitMs);
    StopTicks();
}

void ScreenLink::Detach()
{
    StopTicks();
    notify_->Detach();
}

void ScreenLink::StartTicks()
{
    ticking_ = true;
    if (byHand_)
        return;
    // The tick takes what came: a wake-up per answer on top of one per tick
    // would only show it up to a tick sooner. A device gone still notifies.
    serial_.NotifyReceived(false);
    timer_.start();
}

void ScreenLink::StopTicks()
{
    ticking_ = false;
    timer_.stop();
    serial_.NotifyReceived(true);
}

void ScreenLink::TickByHand()
{
    byHand_ = true;
    timer_.stop();
    serial_.NotifyReceived(true);
}

void ScreenLink::TickNow()
{
    if (ticking_)
        OnTick();
}

void ScreenLink::WriteFrame(const Frame& frame)
{
    serial_.Write(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

void ScreenLink::OnTick()
{
    if (!byHand_)
        TakeReceived();
    if (FramesHeldBack()) {
        StepProbe();
        ReopenAfterHangUp();
        return;
    }
    owner_.OnLinkTick();
    ReopenAfterHangUp();
    WatchForFrames();
}

void ScreenLink::ReopenAfterHangUp()
{
    if (owner_.LinkLost() && serial_.FarSideGone())
        waitingForDevice_ = true;
    if (!waitingForDevice_ || ++ticksSinceHangUp_ < kReopenEveryTicks)
        return;
    ticksSinceHangUp_ = 0;
    if (OpenLinkSequence(serial_, openedPortNumber_)) {
        intake_.Clear();
        waitingForDevice_ = false;
        // What was found before the hang-up may have been reset or replaced.
        const bool wasBootLoader = bootLoader_;
        ForgetProbe();
        StartWatching();
        if (wasBootLoader)
            owner_.OnBoardInBootLoader(openedPortNumber_, false);
    }
}

void ScreenLink::StartWatching()
{
    watchingForFrames_ = true;
    silentTicks_ = 0;
    framesAtOpen_ = owner_.FramesTaken();
}

void ScreenLink::WatchForFrames()
{
    if (!watchingForFrames_ || !serial_.IsOpen())
        return;
    if (owner_.FramesTaken() != framesAtOpen_) {
        watchingForFrames_ = false;
        probe_.OnFrame();
        return;
    }
    if (++silentTicks_ < kNoFrameTicks)
        return;
    // Once per opening: a board that answered once and then fell silent is
    // the lost link's case, not this one.
    watchingForFrames_ = false;
    StartProbe();
}

void ScreenLink::StartProbe()
{
    // The answer to a sync byte is one byte: every byte is wanted now, and
    // what the intake still holds of the frames' time has been counted.
    intake_.Clear();
    serial_.SetNotifyThreshold(1);
    probing_ = true;
    probe_.Begin(BootLoaderProbe::Clock::now());
}

void ScreenLink::StepProbe()
{
    if (!serial_.IsOpen())
        return;
    if (!probing_) {
        if (++heldTicks_ < kRecheckTicks)
            return;
        heldTicks_ = 0;
        probe_.Reset();
        StartProbe();
    }
    if (const auto sync = probe_.Step(BootLoaderProbe::Clock::now()))
        serial_.Write(&*sync, 1);
    if (!probe_.Done())
        return;
    probing_ = false;
    const bool found = probe_.BootLoaderFound();
    probe_.Reset();
    const bool changed = found != bootLoader_;
    bootLoader_ = found;
    if (!found)
        ResumeFrames();
    if (changed)
        owner_.OnBoardInBootLoader(openedPortNumber_, found);
}

void ScreenLink::ResumeFrames()
{
    intake_.Clear();
    // Sets the notification threshold back to a frame's worth and takes
    // what came since the last notification.
    intake_.OnPortReceived(serial_, [this](const std::uint8_t* bytes, std::uint32_t n) {
        owner_.OnLinkBytes(bytes, n);
    });
}

void ScreenLink::ForgetProbe()
{
    probe_.Reset();
    probing_ = false;
    bootLoader_ = false;
    heldTicks_ = 0;
}

void ScreenLink::ReadIntoProbe()
{
    std::array<std::uint8_t, 256> bytes{};
    while (const std::uint32_t n = serial_.Read(bytes.data(), bytes.size(), std::chrono::milliseconds(0)))
        probe_.OnBytes({bytes.data(), n}, BootLoaderProbe::Clock::now());
}

bool ScreenLink::event(QEvent* e)
{
    if (e->type() != PortNotifyEvent::EventType())
        return QObject::event(e);
    const auto* note = static_cast<PortNotifyEvent*>(e);
    // A notification of an earlier opening of another port is not ours.
    if (note->message == WM_PORT_RECEIVED && note->wParam == serial_.PortNumber())
        TakeReceived();
    return true;
}

void ScreenLink::TakeReceived()
{
    serial_.TakeArrived();
    // While the frames are held back, the line is the probe's alone.
    if (FramesHeldBack()) {
        ReadIntoProbe();
        return;
    }
    intake_.OnPortReceived(serial_, [this](const std::uint8_t* bytes, std::uint32_t n) {
        // Until the first frame, the probe counts what came back (a boot
        // loader answers frames with NACK bytes).
        if (watchingForFrames_)
            probe_.OnBytes({bytes, n}, BootLoaderProbe::Clock::now());
        owner_.OnLinkBytes(bytes, n);
    });
}

} // namespace qav
