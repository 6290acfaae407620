#include "protocol/ControllerResults.h"

#include "protocol/ControllerProtocol.h"

#include <array>

namespace qav {
namespace {

constexpr std::array<ControllerResult, 10> kResults{{
    {kCmdMotorOn, true, "$INKblue$Motor on successfully!",
     "$INKred$Motor on failed! Please check angle limitation and gains(any gain item can't be zero)!",
     MotorButtons::On, false},
    {kCmdMotorOff, true, "$INKblue$Motor off successfully!", {}, MotorButtons::Off, false},
    {kCmdPidOff, true, "$INKblue$PID off successfully!", "$INKred$PID off failed!", MotorButtons::PidOff,
     false},
    {kCmdWriteFlash,
     true,
     "$INKblue$Write setting to flash successfully!",
     {},
     MotorButtons::Unchanged,
     true},
    {kCmdCalibrate, true, "$INKblue$Sensors calibrated successfully!", {}, MotorButtons::Unchanged, false},
    {kResultFailed | kCmdMotorOn, false, "$INKblue$Motor on failed!", {}, MotorButtons::Unchanged, false},
    {kResultFailed | kCmdMotorOff, false, "$INKblue$Motor off failed!", {}, MotorButtons::Unchanged, false},
    {kResultFailed | kCmdPidOff, false, "$INKblue$PID off failed!", {}, MotorButtons::Unchanged, false},
    {kResultFailed | kCmdWriteFlash,
     false,
     "$INKblue$Write setting to flash failed!",
     {},
     MotorButtons::Unchanged,
     false},
    {kResultFailed | kCmdCalibrate,
     false,
     "$INKblue$Sensors calibrated failed!",
     {},
     MotorButtons::Unchanged,
     false},
}};

} // namespace

const ControllerResult* FindControllerResult(std::uint8_t code)
{
    for (const auto& r : kResults)
        if (r.code == code)
            return &r;
    return nullptr;
}

std::string_view ResultMessage(const ControllerResult& result, std::uint8_t motorState)
{
    if (motorState == kMotorsOff && !result.messageWhenMotorsOff.empty())
        return result.messageWhenMotorsOff;
    return result.message;
}

} // namespace qav
