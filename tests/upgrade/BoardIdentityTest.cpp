// The board check before an upgrade on a line that echoes: its own poll
// coming back is no board answering, and a board behind the echo is still
// told apart.
#include "upgrade/BoardIdentity.h"
#include "ControllerModel.h"
#include "MotorBoardModel.h"
#include "motor/MotorProtocol.h"
#include "protocol/ControllerProtocol.h"

#include "support/FakeBootLines.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace qav {
namespace {

enum class Behind { Nothing, Controller, Motor };

// Gives back every byte at once when `echo`, and has the board behind
// answer each of its own polls.
std::function<test::Bytes(std::uint8_t)> EchoingLine(bool echo, Behind board)
{
    struct Far
    {
        FrameReceiver controllerFrames{kControllerHeader0, kControllerHeader1};
        FrameReceiver motorFrames{kMotorHeader0, kMotorHeader1};
        sim::ControllerModel controller{sim::ControllerModelConfig{}, sim::Clock::now()};
        sim::MotorBoardModel motor{sim::MotorBoardConfig{}};
    };
    auto far = std::make_shared<Far>();
    return [far, echo, board](std::uint8_t b) {
        test::Bytes out;
        if (echo)
            out.push_back(b);
        Frame answer{};
        bool answered = false;
        far->controllerFrames.Feed(&b, 1, [&](const Frame& poll) {
            if (board == Behind::Controller) {
                far->controller.Answer(poll, sim::Clock::now(), answer);
                answered = true;
            }
        });
        far->motorFrames.Feed(&b, 1, [&](const Frame& poll) {
            if (board == Behind::Motor) {
                far->motor.Answer(poll, sim::Clock::now(), answer);
                answered = true;
            }
        });
        if (answered)
            out.insert(out.end(), answer.begin(), answer.end());
        return out;
    };
}

TEST(BoardIdentity, ItsOwnPollEchoedIsNoBoardAnswering)
{
    const struct
    {
        const char* name;
        BoardId serves;
        bool echo;
        Behind board;
        BoardHeard heard;
    } rows[] = {
        {"echo only, controller upgrade", BoardId::Controller, true, Behind::Nothing, BoardHeard::Nothing},
        {"echo only, motor upgrade", BoardId::Motor, true, Behind::Nothing, BoardHeard::Nothing},
        {"controller behind the echo", BoardId::Controller, true, Behind::Controller,
         BoardHeard{BoardHeard::Answered, BoardId::Controller}},
        {"controller behind the echo of the motor poll", BoardId::Motor, true, Behind::Controller,
         BoardHeard{BoardHeard::Answered, BoardId::Controller}},
        {"motor board behind the echo of the controller poll", BoardId::Controller, true, Behind::Motor,
         BoardHeard{BoardHeard::Answered, BoardId::Motor}},
        {"motor board behind the echo", BoardId::Motor, true, Behind::Motor,
         BoardHeard{BoardHeard::Answered, BoardId::Motor}},
        {"motor board, no echo", BoardId::Controller, false, Behind::Motor,
         BoardHeard{BoardHeard::Answered, BoardId::Motor}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::ScriptedLine line(EchoingLine(row.echo, row.board));
        EXPECT_EQ(IdentifyBoard(line, row.serves), row.heard);
    }
}

} // namespace
} // namespace qav
