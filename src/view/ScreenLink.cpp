#include "view/ScreenLink.h"

#include "ui/PostedNotify.h"

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

bool ScreenLink::Open(int number)
{
    if (serial_.IsOpen())
        serial_.Close(CSerialLink::kCloseWaitMs);
    timer_.stop();
    waitingForDevice_ = false;
    watchingForFrames_ = false;
    openedPortNumber_ = number;
    const bool opened = OpenLinkSequence(serial_, number);
    intake_.Clear();
    if (opened)
        StartWatching();
    return opened;
}

void ScreenLink::TakeDown()
{
    waitingForDevice_ = false;
    watchingForFrames_ = false;
    serial_.Close(CSerialLink::kCloseWaitMs);
    timer_.stop();
}

void ScreenLink::Detach()
{
    timer_.stop();
    notify_->Detach();
}

void ScreenLink::WriteFrame(const Frame& frame)
{
    serial_.Write(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

void ScreenLink::OnTick()
{
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
        StartWatching();
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
        return;
    }
    if (++silentTicks_ < kNoFrameTicks)
        return;
    watchingForFrames_ = false;
    owner_.OnPortGaveNoFrame(openedPortNumber_);
}

bool ScreenLink::event(QEvent* e)
{
    if (e->type() != PortNotifyEvent::EventType())
        return QObject::event(e);
    const auto* note = static_cast<PortNotifyEvent*>(e);
    // A notification of an earlier opening of another port is not ours.
    if (note->message == WM_PORT_RECEIVED && note->wParam == serial_.PortNumber())
        intake_.OnPortReceived(serial_, [this](const std::uint8_t* bytes, std::uint32_t n) {
            owner_.OnLinkBytes(bytes, n);
        });
    return true;
}

} // namespace qav
