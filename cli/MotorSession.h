#pragma once
// A connection to the motor driver board for the command-line tool: the same
// motor link engine as the dialog, driven by the shared session loop; it
// starts by reading the board's parameters.
#include "LinkSession.h"
#include "motor/MotorLink.h"

namespace qav::cli {

class MotorSession final : public LinkSession
{
public:
    MotorSession(MotorParams& params, IMotorEvents& events);
    ~MotorSession() override = default;

    MotorLink& Link() { return link_; }

private:
    void StartLink() override { link_.OnPortOpened(); }
    void TickLink() override { link_.Tick(); }
    void FeedLink(const std::uint8_t* bytes, std::uint32_t count) override { link_.OnBytes(bytes, count); }
    BoardId Board() const override { return BoardId::Motor; }
    std::uint32_t AnswersTaken() const override { return link_.RepliesHandled(); }
    std::uint32_t EchoesSinceAnswer() const override { return link_.Sent().EchoesSinceAnswer(); }

    MotorLink link_;
};

} // namespace qav::cli
