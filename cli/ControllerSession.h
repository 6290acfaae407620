#pragma once
// A connection to the main controller for the command-line tool: the same
// link engine as the GUI, driven by the shared session loop.
//
// Looking must not change the gimbal: unlike the GUI, opening the port and a
// lost link send no motor-off command.
#include "LinkSession.h"
#include "protocol/ControllerLink.h"

namespace qav::cli {

class ControllerSession final : public LinkSession
{
public:
    ControllerSession(ControllerParams& params, IControllerEvents& events);
    ~ControllerSession() override = default;

    ControllerLink& Link() { return link_; }

private:
    void StartLink() override { link_.OnPortOpened(); }
    void TickLink() override { link_.Tick(); }
    void FeedLink(const std::uint8_t* bytes, std::uint32_t count) override { link_.OnBytes(bytes, count); }
    BoardId Board() const override { return BoardId::Controller; }
    std::uint32_t AnswersTaken() const override { return link_.FramesDispatched(); }
    std::uint32_t EchoesSinceAnswer() const override { return link_.Sent().EchoesSinceAnswer(); }

    ControllerLink link_;
};

} // namespace qav::cli
