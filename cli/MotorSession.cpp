#include "MotorSession.h"

namespace qav::cli {

MotorSession::MotorSession(MotorParams& params, IMotorEvents& events) : link_(params, events)
{
    link_.SetTransport(this);
    serial_.SetMode(CSerialLink::kOwnerMode);
    serial_.SetOwner(queue_);
}

MotorSession::~MotorSession()
{
    serial_.Close(500);
}

bool MotorSession::Open(std::string_view port, std::string& error)
{
    if (!OpenLinkSequence(serial_, port)) {
        error = "Cannot open " + std::string(port);
        if (!serial_.LastError().message.empty())
            error += ": " + serial_.LastError().message;
        error += ".";
        return false;
    }
    intake_.Clear();
    link_.OnPortOpened();
    return true;
}

void MotorSession::WriteFrame(const Frame& frame)
{
    serial_.Write(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

MotorSession::Outcome MotorSession::RunUntil(const std::function<bool()>& done,
                                             std::chrono::milliseconds silence,
                                             const volatile std::sig_atomic_t* stop)
{
    using Clock = std::chrono::steady_clock;
    auto lastReply = Clock::now();
    std::uint32_t repliesSeen = link_.RepliesHandled();
    auto nextTick = Clock::now();
    for (;;) {
        if (stop && *stop)
            return Outcome::Stopped;
        if (done())
            return Outcome::Done;
        const auto now = Clock::now();
        if (link_.RepliesHandled() != repliesSeen) {
            repliesSeen = link_.RepliesHandled();
            lastReply = now;
        }
        if (now - lastReply > silence)
            return Outcome::NoAnswer;
        if (now >= nextTick) {
            link_.Tick();
            nextTick += kLinkPeriod;
            if (now - nextTick > kLinkPeriod) // fell behind: keep the rhythm, skip the backlog
                nextTick = now + kLinkPeriod;
            continue;
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextTick - now);
        if (auto note = queue_->WaitFor(wait)) {
            if (note->message == WM_PORT_RECEIVED && note->wParam == serial_.PortNumber())
                intake_.OnPortReceived(
                    serial_, [this](const std::uint8_t* bytes, std::uint32_t n) { link_.OnBytes(bytes, n); });
        }
    }
}

} // namespace qav::cli
