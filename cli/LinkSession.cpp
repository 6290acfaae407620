#include "LinkSession.h"

#include "CliReport.h"
#include "protocol/SentFrames.h"
#include "upgrade/BoardIdentity.h"

#include <array>
#include <cerrno>

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

Result LinkSession::Open(std::string_view port)
{
    if (const Result why = OpenLinkSequence(serial_, port); !why)
        return Result::Failed(why.code, PortOpenFailure(port, why));
    intake_.Clear();
    probe_.Reset();
    bootLoader_ = false;
    onlyEchoes_ = false;
    StartLink();
    return {};
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
            probe_.OnFrame();
        }
        if (now - lastAnswer > silence) {
            onlyEchoes_ = EchoesSinceAnswer() != 0;
            bootLoader_ = ProbeBootLoader(stop);
            // Asked only where no boot loader waits: a freshly reset one
            // would take a poll's first byte for its baud rate.
            otherBoard_.reset();
            if (!bootLoader_ && !onlyEchoes_ && !(stop && *stop))
                otherBoard_ = OtherBoardAnswers();
            return stop && *stop ? Outcome::Stopped : Outcome::NoAnswer;
        }
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
                intake_.OnPortReceived(serial_, [this](const std::uint8_t* bytes, std::uint32_t n) {
                    probe_.OnBytes({bytes, n}, Clock::now());
                    FeedLink(bytes, n);
                });
        }
    }
}

bool LinkSession::ProbeBootLoader(const volatile std::sig_atomic_t* stop)
{
    using Clock = std::chrono::steady_clock;
    // Every byte now, not a frame's worth.
    serial_.SetNotifyThreshold(1);
    probe_.Begin(Clock::now());
    std::array<std::uint8_t, 256> bytes{};
    while (!(stop && *stop)) {
        if (const auto b = probe_.Step(Clock::now()))
            serial_.Write(&*b, 1);
        if (probe_.Done())
            return probe_.BootLoaderFound();
        if (queue_->WaitFor(std::chrono::milliseconds(10)))
            while (const std::uint32_t n = serial_.Read(bytes.data(), bytes.size(), std::chrono::milliseconds(0)))
                probe_.OnBytes({bytes.data(), n}, Clock::now());
    }
    return false;
}

namespace {

// The session's port as a boot loader client's line, for the board check's
// polls: whole answers within a time-out, from the receive queue.
class QueuedLine final : public IBootLine
{
public:
    QueuedLine(CSerialLink& serial, NotifyQueue& queue) : serial_(serial), queue_(queue) {}

    PortIo Send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override
    {
        return serial_.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())) == WriteResult::Refused
                   ? PortIo::Gone
                   : PortIo::Ok;
    }
    PortIo Receive(std::span<std::uint8_t> dest, std::chrono::milliseconds timeout) override
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        std::size_t got = 0;
        for (;;) {
            got += serial_.Read(dest.data() + got, static_cast<std::uint32_t>(dest.size() - got),
                                std::chrono::milliseconds(0));
            if (got == dest.size())
                return PortIo::Ok;
            if (!serial_.IsOpen())
                return PortIo::Gone;
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left <= std::chrono::milliseconds(0))
                return PortIo::TimedOut;
            queue_.WaitFor(left);
        }
    }
    void DiscardInput() override
    {
        serial_.Read(nullptr, serial_.QueuedCount(), std::chrono::milliseconds(0));
    }

private:
    CSerialLink& serial_;
    NotifyQueue& queue_;
};

} // namespace

std::optional<BoardId> LinkSession::OtherBoardAnswers()
{
    // The others are polled first: this board has just been silent.
    BoardId other = Board();
    for (const BoardRow& row : Boards())
        if (row.id != Board()) {
            other = row.id;
            break;
        }
    // Every byte now, not a frame's worth.
    serial_.SetNotifyThreshold(1);
    QueuedLine line(serial_, *queue_);
    line.DiscardInput();
    const BoardHeard heard = IdentifyBoard(line, other);
    if (heard.what == BoardHeard::Answered && heard.board != Board())
        return heard.board;
    return std::nullopt;
}

std::string LinkSession::NoAnswerSentence(std::string_view port) const
{
    if (bootLoader_)
        return BootLoaderWaitingSentence(BoardWord(), port);
    if (onlyEchoes_)
        return LineEchoesSentence(port);
    if (otherBoard_) {
        const BoardRow& other = BoardOf(*otherBoard_);
        return Say(Message::NoAnswerOtherBoard, {other.firmwareName, port, BoardWord(), other.word});
    }
    return Say(Message::NoAnswer, {BoardWord(), port, SecondsText(kAnswerTimeout)});
}

} // namespace qav::cli
