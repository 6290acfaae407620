#include "protocol/ControllerParamTable.h"

#include <array>
#include <cstdlib>

namespace qav {
namespace {

using P = ControllerParams;
using Row = ControllerParamRow;
using M = ParamMember<P>;
using enum FileUse;

constexpr ValueRange kGain{0, 500};
constexpr ValueRange kRc{0, 100};
constexpr ValueRange kServoCenter{-500, 500};
constexpr ValueRange kRollLimit{-45, 45};
constexpr ValueRange kTiltLimit{-135, 90};
// While typed, a maximum stays at or above zero and a minimum at or below.
constexpr ValueRange kRollMaxTyped{0, 45};
constexpr ValueRange kRollMinTyped{-45, 0};
constexpr ValueRange kTiltMaxTyped{0, 90};
constexpr ValueRange kTiltMinTyped{-135, 0};
// Tenths of a degree; the screen shows degrees.
constexpr int kTenths = 10;
constexpr ValueRange kInitRoll{-450, 450};
constexpr ValueRange kInitTilt{-1350, 900};

constexpr ParamChoice kDirections[] = {{kDirectionNormal, "normal (Motor Reverse cleared)"},
                                       {kDirectionReversed, "reversed (Motor Reverse checked)"}};
// The list items the main screen offers, translated there under
// kControllerChoiceContext.
// In the order of the "Sensor Module Mount" list, whose first item is 2.
constexpr ParamChoice kMounts[] = {
    {2, QAV_TRANSLATE_NOOP("ControllerParamTable", "Velsor Gopro Brushless Motor Gimbal")},
    {1, QAV_TRANSLATE_NOOP("ControllerParamTable", "Face Up")},
    {3, QAV_TRANSLATE_NOOP("ControllerParamTable", "Face Down")}};
constexpr ParamChoice kReceivers[] = {
    {1, QAV_TRANSLATE_NOOP("ControllerParamTable", "Standard Receiver")},
    {2, QAV_TRANSLATE_NOOP("ControllerParamTable", "Futaba SBUS")},
    {3, QAV_TRANSLATE_NOOP("ControllerParamTable", "DSM2-1")},
    {4, QAV_TRANSLATE_NOOP("ControllerParamTable", "DSM2-2")},
    {5, QAV_TRANSLATE_NOOP("ControllerParamTable", "DSM2-3")},
    {6, QAV_TRANSLATE_NOOP("ControllerParamTable", "DSMJ-S")},
    {7, QAV_TRANSLATE_NOOP("ControllerParamTable", "DSM2-4")},
    {8, QAV_TRANSLATE_NOOP("ControllerParamTable", "DSMX-1")},
    {9, QAV_TRANSLATE_NOOP("ControllerParamTable", "DSMX-2")},
};
constexpr ParamChoice kDefaultModes[] = {
    {1, QAV_TRANSLATE_NOOP("ControllerParamTable", "Default Mode: stick rate mode")},
    {2, QAV_TRANSLATE_NOOP("ControllerParamTable", "Default Mode: stick position mode")}};
constexpr ParamChoice kServoTypes[] = {
    {1, QAV_TRANSLATE_NOOP("ControllerParamTable", "位置舵机(1520us)")},
    {2, QAV_TRANSLATE_NOOP("ControllerParamTable", "位置舵机(960us)")},
    {3, QAV_TRANSLATE_NOOP("ControllerParamTable", "位置舵机(760us)")},
    {4, QAV_TRANSLATE_NOOP("ControllerParamTable", "速度舵机(1520us)")},
    {5, QAV_TRANSLATE_NOOP("ControllerParamTable", "速度舵机(960us)")},
    {6, QAV_TRANSLATE_NOOP("ControllerParamTable", "速度舵机(760us)")},
};
constexpr ParamChoice kControlModes[] = {{1, QAV_TRANSLATE_NOOP("ControllerParamTable", "角度锁定模式")},
                                         {2, QAV_TRANSLATE_NOOP("ControllerParamTable", "跟随(FPV)模式")}};

constexpr Row Number(std::string_view key, M member, FileUse file, ValueRange range, std::string_view control,
                     std::string_view meaning, std::string_view unit = {}, int scale = 1)
{
    return Row{key, member, file, range, range, {}, {}, scale, unit, control, meaning};
}

constexpr Row Limit(std::string_view key, M member, ValueRange range, ValueRange typing, std::string_view above,
                    std::string_view control, std::string_view meaning)
{
    return Row{key, member, ReadWrite, range, typing, {}, above, 1, "degrees", control, meaning};
}

constexpr Row Choice(std::string_view key, M member, FileUse file, std::span<const ParamChoice> choices,
                     std::string_view control, std::string_view meaning)
{
    const ValueRange range = RangeOf(choices);
    return Row{key, member, file, range, range, choices, {}, 1, {}, control, meaning};
}

const std::array<Row, 36> kTable = {{
    Number("ROLL_ACC", &P::ROLL_ACC, ReadWrite, kGain, "Roll Setting > Accelerate Gain",
           "Accelerate gain of the roll stabilisation loop."),
    Number("ROLL_TOTAL", &P::ROLL_TOTAL, ReadWrite, kGain, "Roll Setting > Total Gain",
           "Total gain of the roll stabilisation loop: how hard the roll motor holds the camera level."),
    Number("ROLL_VEL", &P::ROLL_VEL, ReadWrite, kGain, "Roll Setting > Velocity Gain",
           "Velocity gain of the roll stabilisation loop: how strongly roll turning is damped."),
    Number("ROLL_INT", &P::ROLL_INT, ReadWrite, kGain, "Roll Setting > Integral Gain",
           "Integral gain of the roll stabilisation loop: how strongly a lasting roll error is corrected."),
    Number("PITCH_ACC", &P::PITCH_ACC, ReadWrite, kGain, "Tilt Setting > Accelerate Gain",
           "Accelerate gain of the tilt stabilisation loop."),
    Number("PITCH_TOTAL", &P::PITCH_TOTAL, ReadWrite, kGain, "Tilt Setting > Total Gain",
           "Total gain of the tilt stabilisation loop: how hard the tilt motor holds the camera's angle."),
    Number("PITCH_VEL", &P::PITCH_VEL, ReadWrite, kGain, "Tilt Setting > Velocity Gain",
           "Velocity gain of the tilt stabilisation loop: how strongly tilt turning is damped."),
    Number("PITCH_INT", &P::PITCH_INT, ReadWrite, kGain, "Tilt Setting > Integral Gain",
           "Integral gain of the tilt stabilisation loop: how strongly a lasting tilt error is corrected."),
    Limit("ROLL_MAX", &P::ROLL_MAX, kRollLimit, kRollMaxTyped, "ROLL_MIN", "Roll Setting > Angle Limit > Max",
          "Largest roll angle the gimbal turns to; the controller keeps it in steps of 2 degrees."),
    Limit("ROLL_MIN", &P::ROLL_MIN, kRollLimit, kRollMinTyped, {}, "Roll Setting > Angle Limit > Min",
          "Smallest roll angle the gimbal turns to; the controller keeps it in steps of 2 degrees."),
    Limit("PITCH_MAX", &P::PITCH_MAX, kTiltLimit, kTiltMaxTyped, "PITCH_MIN", "Tilt Setting > Angle Limit > Max",
          "Largest tilt angle the gimbal turns to; the controller keeps it in steps of 2 degrees."),
    Limit("PITCH_MIN", &P::PITCH_MIN, kTiltLimit, kTiltMinTyped, {}, "Tilt Setting > Angle Limit > Min",
          "Smallest tilt angle the gimbal turns to; the controller keeps it in steps of 2 degrees."),
    Number("ROLL_SERVO_CENTER", &P::ROLL_SERVO_CENTER, ReadWrite, kServoCenter, "Roll Servo Center (hidden)",
           "Centre trim of a roll servo; the controller reports it but is never sent it."),
    Number("PITCH_SERVO_CENTER", &P::PITCH_SERVO_CENTER, ReadWrite, kServoCenter, "Tilt Servo Center (hidden)",
           "Centre trim of a tilt servo; the controller reports it but is never sent it."),
    Number("YAW_SERVO_CENTER", &P::YAW_SERVO_CENTER, WriteOnly, kServoCenter, "Pan Servo Center (hidden)",
           "Centre trim of a pan servo; saved in files but never loaded from them."),
    Choice("ROLL_SERVO_REV", &P::ROLL_SERVO_REV, ReadWrite, kDirections, "Roll Setting > Motor Reverse",
           "Direction of the roll motor: 1 normal, -1 reversed."),
    Choice("PITCH_SERVO_REV", &P::PITCH_SERVO_REV, ReadWrite, kDirections, "Tilt Setting > Motor Reverse",
           "Direction of the tilt motor: 1 normal, -1 reversed."),
    Number("ROLL_RC_ACC", &P::ROLL_RC_ACC, ReadWrite, kRc, "Roll Setting > RC Sensitivity",
           "How fast the roll follows the RC stick."),
    Number("PITCH_RC_ACC", &P::PITCH_RC_ACC, ReadWrite, kRc, "Tilt Setting > RC Sensitivity",
           "How fast the tilt follows the RC stick."),
    Choice("INSTALL_MODE", &P::INSTALL_MODE, ReadWrite, kMounts, "Sensor Module Mount",
           "How the sensor module is mounted: 2 Velsor Gopro gimbal, 1 face up, 3 face down."),
    Choice("RECEIVER_TYPE", &P::RECEIVER_TYPE, ReadWrite, kReceivers, "Receiver Type",
           "Protocol of the RC receiver; takes effect after a write to flash and a restart."),
    Number("INIT_PITCH", &P::INIT_PITCH, ReadWrite, kInitTilt, "Tilt Setting > Init Tilt Angle",
           "Tilt angle the camera takes at power-up.", "tenths of a degree", kTenths),
    Number("INIT_ROLL", &P::INIT_ROLL, ReadWrite, kInitRoll, "Roll Setting > Init Roll Angle",
           "Roll angle the camera takes at power-up.", "tenths of a degree", kTenths),
    Choice("DEFAULT_MODE", &P::DEFAULT_MODE, ReadWrite, kDefaultModes, "Default Mode",
           "RC stick mode at power-up: 1 stick rate mode, 2 stick position mode."),

    Number("YAW_TOTAL", &P::YAW_TOTAL, None, kGain, "Pan Total Gain (hidden)",
           "Total gain of the pan loop of a three-axis controller."),
    Number("YAW_INT", &P::YAW_INT, None, kGain, "Pan Integral Gain (hidden)",
           "Integral gain of the pan loop of a three-axis controller."),
    Number("YAW_VEL", &P::YAW_VEL, None, kGain, "Pan Velocity Gain (hidden)",
           "Velocity gain of the pan loop of a three-axis controller."),
    Number("YAW_ACC", &P::YAW_ACC, None, kGain, "Pan Accelerate Gain (hidden)",
           "Accelerate gain of the pan loop of a three-axis controller."),
    Choice("YAW_SERVO_REV", &P::YAW_SERVO_REV, None, kDirections, "Pan Servo Reverse (hidden)",
           "Direction of a pan servo: 1 normal, -1 reversed."),
    Number("YAW_RC_ACC", &P::YAW_RC_ACC, None, kRc, "Pan RC Sensitivity (hidden)",
           "How fast a pan axis follows the RC stick."),
    Choice("ROLL_SERVO_TYPE", &P::ROLL_SERVO_TYPE, None, kServoTypes, "Roll Servo Type (hidden)",
           "Kind of roll servo: 1 to 3 position servos, 4 to 6 speed servos; reported, never sent."),
    Choice("PITCH_SERVO_TYPE", &P::PITCH_SERVO_TYPE, None, kServoTypes, "Tilt Servo Type (hidden)",
           "Kind of tilt servo: 1 to 3 position servos, 4 to 6 speed servos; reported, never sent."),
    Choice("YAW_SERVO_TYPE", &P::YAW_SERVO_TYPE, None, kServoTypes, "Pan Servo Type (hidden)",
           "Kind of pan servo: 1 to 3 position servos, 4 to 6 speed servos; reported, never sent."),
    Choice("ROLL_CTRL_MODE", &P::ROLL_CTRL_MODE, None, kControlModes, "Roll Control Mode (hidden)",
           "Roll control mode: 1 angle lock, 2 follow (FPV); reported, never sent."),
    Choice("PITCH_CTRL_MODE", &P::PITCH_CTRL_MODE, None, kControlModes, "Tilt Control Mode (hidden)",
           "Tilt control mode: 1 angle lock, 2 follow (FPV); reported, never sent."),
    Choice("YAW_CTRL_MODE", &P::YAW_CTRL_MODE, None, kControlModes, "Pan Control Mode (hidden)",
           "Pan control mode: 1 angle lock, 2 follow (FPV); reported, never sent."),
}};

} // namespace

std::span<const ControllerParamRow> ControllerParamTable()
{
    return kTable;
}

const ControllerParamRow* FindControllerParam(std::string_view key)
{
    for (const Row& row : kTable)
        if (row.key == key)
            return &row;
    return nullptr;
}

const ControllerParamRow& ControllerParamOf(const ParamMember<ControllerParams>& member)
{
    for (const Row& row : kTable)
        if (row.member == member)
            return row;
    // Every field has a row; a test walks the record to keep it so.
    std::abort();
}

namespace {

// The form of `row`'s field in the first of the payloads of `types` that
// carries it, with that payload's frame type.
template <std::size_t N>
WireForm FormIn(const ControllerParamRow& row, const std::array<std::uint8_t, N>& types)
{
    std::array<std::span<const WireField<ControllerParams>>, N> layouts;
    for (std::size_t i = 0; i < N; ++i)
        layouts[i] = ControllerPayloadLayout(types[i]);
    WireForm form = WireFormOf<ControllerParams>(row.member, layouts);
    if (form.travels)
        form.frame = types[form.layout];
    return form;
}

constexpr std::array<std::uint8_t, 4> kUploads = {kTypeGains, kTypeDirections, kTypeLimits, kTypePan};
constexpr std::array<std::uint8_t, 4> kEchoes = {kTypeReadGains, kTypeReadDirections, kTypeReadLimits,
                                                 kTypeReadPan};

} // namespace

WireForm ControllerWireForm(const ControllerParamRow& row)
{
    return FormIn(row, kUploads);
}

WireForm ControllerEchoForm(const ControllerParamRow& row)
{
    return FormIn(row, kEchoes);
}

} // namespace qav
