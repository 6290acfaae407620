#include "boards/Boards.h"

#include "motor/MotorProtocol.h"
#include "protocol/ControllerProtocol.h"

#include <array>
#include <vector>

namespace qav {
namespace {

template <class S>
std::vector<BoardParam> ParamsOf(std::span<const ParamRow<S>> table, WireForm (*wire)(const ParamRow<S>&))
{
    std::vector<BoardParam> out;
    for (const ParamRow<S>& row : table)
        out.push_back(
            {row.key, row.file, FieldRange<S>(row.member), wire(row), row.range, row.choices, row.above});
    return out;
}

std::span<const BoardParam> ControllerBoardParams()
{
    static const std::vector<BoardParam> params = ParamsOf(ControllerParamTable(), &ControllerWireForm);
    return params;
}

std::span<const BoardParam> MotorBoardParams()
{
    static const std::vector<BoardParam> params = ParamsOf(MotorParamTable(), &MotorWireForm);
    return params;
}

// A plain poll without a command.
Frame ControllerPoll()
{
    Frame frame{};
    BuildFrame(ControllerLinkState{}, ControllerParams{}, frame);
    return frame;
}

// The monitor request.
Frame MotorPoll()
{
    Frame frame{};
    EncodeMotorRequest(kMotorCmdMonitor, 0, MotorParams{}, frame);
    return frame;
}

constexpr std::string_view kControllerExtensions[] = {".bgsc", ".ini"};
constexpr std::string_view kMotorExtensions[] = {".bmc"};

// In the order of BoardId.
const std::array<BoardRow, 2> kBoards = {{
    {BoardId::Controller, "controller", "controller", "controller's", "main controller", "PARAMETERS",
     kControllerExtensions, 1, ".bgsf", kControllerHeader0, kControllerHeader1, &ControllerPoll,
     &ControllerBoardParams},
    {BoardId::Motor, "motor", "motor board", "board's", "motor board", "MOTOR_PARAMETERS", kMotorExtensions,
     2, ".bmcf", kMotorHeader0, kMotorHeader1, &MotorPoll, &MotorBoardParams},
}};

} // namespace

std::span<const BoardRow> Boards()
{
    return kBoards;
}

const BoardRow& BoardOf(BoardId id)
{
    return kBoards[static_cast<std::size_t>(id)];
}

const BoardRow* BoardNamed(std::string_view word)
{
    for (const BoardRow& row : kBoards)
        if (row.word == word)
            return &row;
    return nullptr;
}

const BoardRow* BoardOfFirmware(std::uint8_t byte)
{
    for (const BoardRow& row : kBoards)
        if (row.firmwareByte == byte)
            return &row;
    return nullptr;
}

} // namespace qav
