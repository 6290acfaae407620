#include "motor/MotorParamTable.h"

#include <array>
#include <cstdlib>

namespace qav {
namespace {

using P = MotorParams;
using Row = MotorParamRow;

constexpr ValueRange kBoxRange{0, 100};
constexpr ParamChoice kDirections[] = {{kMotorDirectionNormal, "normal"}, {kMotorDirectionReversed, "reversed"}};

constexpr Row Number(std::string_view key, std::uint8_t P::*member, std::string_view control,
                     std::string_view meaning)
{
    return Row{key, member, FileUse::ReadWrite, kBoxRange, kBoxRange, {}, {}, 1, {}, control, meaning};
}

constexpr Row Direction(std::string_view key, std::uint8_t P::*member, std::string_view control,
                        std::string_view meaning)
{
    const ValueRange range = RangeOf(kDirections);
    return Row{key, member, FileUse::None, range, range, kDirections, {}, 1, {}, control, meaning};
}

const std::array<Row, 6> kTable = {{
    Number("POL_MOTOR1", &P::POL_MOTOR1, "Rolling motor > Polar Num",
           "Number of magnet poles of the rolling motor (motor 1)."),
    Number("POW_MOTOR1", &P::POW_MOTOR1, "Rolling motor > Power", "Power the board drives the rolling motor with."),
    Number("POL_MOTOR2", &P::POL_MOTOR2, "Tilting motor > Polar Num",
           "Number of magnet poles of the tilting motor (motor 2)."),
    Number("POW_MOTOR2", &P::POW_MOTOR2, "Tilting motor > Power", "Power the board drives the tilting motor with."),
    Direction("DIR_MOTOR1", &P::DIR_MOTOR1, "motor 1 direction (hidden)",
              "Direction of the rolling motor, kept by the tool only: 1 normal, 255 reversed."),
    Direction("DIR_MOTOR2", &P::DIR_MOTOR2, "motor 2 direction (hidden)",
              "Direction of the tilting motor, kept by the tool only: 1 normal, 255 reversed."),
}};

} // namespace

std::span<const MotorParamRow> MotorParamTable()
{
    return kTable;
}

const MotorParamRow* FindMotorParam(std::string_view key)
{
    for (const Row& row : kTable)
        if (row.key == key)
            return &row;
    return nullptr;
}

const MotorParamRow& MotorParamOf(const ParamMember<MotorParams>& member)
{
    for (const Row& row : kTable)
        if (row.member == member)
            return row;
    std::abort(); // every field has a row
}

WireForm MotorWireForm(const MotorParamRow& row)
{
    const std::span<const WireField<MotorParams>> layouts[] = {MotorParamsLayout()};
    WireForm form = WireFormOf<MotorParams>(row.member, layouts);
    if (form.travels)
        form.frame = kMotorCmdWrite;
    return form;
}

} // namespace qav
