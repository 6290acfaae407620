#include "LinkSession.h"

namespace qav::cli {

LinkSession::LinkSession()
{
    serial_.SetMode(CSerialLink::kOwnerMode);
    serial_.SetOwner(queue_);
}

LinkSession::~LinkSession()
{
    serial_.Close(CSerialLink::kCloseWaitMs);
}

bool LinkSession::Open(std::string_view port, std::string& error)
{
    if (!OpenLinkSequence(serial_, port)) {
        error = "Cannot open " + std::string(port);
        if (!serial_.LastError().message.empty())
            error += ": " + serial_.LastError().message;
        error += ".";
        return false;
    }
    intake_.Clear();
    StartLink();
    return true;
}

void LinkSession::WriteFrame(const Frame& frame)
{
    serial_.Write(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

LinkSession::Outcome LinkSession::RunUntil(const std::function<bool()>& done,
                                           std::chrono::milliseconds silence,
                                           const volatile std::sig_atomic_t* stop)
{
    using Clock = std::chrono::steady_clock;
    auto lastAnswer = Clock::now();
    std::uint32_t answersSeen = AnswersTaken();
    auto nextTick = Clock::now();
    for (;;) {
        if (stop && *stop)
            return Outcome::Stopped;
        if (done())
            return Outcome::Done;
        const auto now = Clock::now();
        if (AnswersTaken() != answersSeen) {
            answersSeen = AnswersTaken();
            lastAnswer = now;
        }
        if (now - lastAnswer > silence)
            return Outcome::NoAnswer;
        if (now >= nextTick) {
            TickLink();
            nextTick += kLinkPeriod;
            if (now - nextTick > kLinkPeriod) // fell behind: keep the rhythm, skip the backlog
                nextTick = now + kLinkPeriod;
            continue;
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextTick - now);
        if (auto note = queue_->WaitFor(wait)) {
            if (note->message == WM_PORT_RECEIVED && note->wParam == serial_.PortNumber())
                intake_.OnPortReceived(
                    serial_, [this](const std::uint8_t* bytes, std::uint32_t n) { FeedLink(bytes, n); });
        }
    }
}

} // namespace qav::cli
