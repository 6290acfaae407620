#include "motor/MotorProtocol.h"

#include "protocol/FieldLayout.h"

#include <algorithm>
#include <cmath>

namespace qav {
namespace {

void PutHeader(Frame& f)
{
    f.fill(0);
    f[0] = kMotorHeader0;
    f[1] = kMotorHeader1;
}

std::uint16_t ToRaw(double value, double perUnit)
{
    const double raw = std::round(value / perUnit);
    return static_cast<std::uint16_t>(std::clamp(raw, 0.0, 65535.0));
}

// Bytes 6 to 9 of a write request and of a parameter report. The
// directions never travel.
constexpr std::array<WireField<MotorParams>, 4> kParamsLayout{{
    {mot::kParams, Wire::Byte, &MotorParams::POL_MOTOR1},
    {mot::kParams + 1, Wire::Byte, &MotorParams::POW_MOTOR1},
    {mot::kParams + 2, Wire::Byte, &MotorParams::POL_MOTOR2},
    {mot::kParams + 3, Wire::Byte, &MotorParams::POW_MOTOR2},
}};
// Bytes 6 to 9 of a monitor reply.
constexpr std::array<WireField<MotorReply>, 2> kMonitorLayout{{
    {mot::kParams, Wire::LE16, &MotorReply::voltageRaw},
    {mot::kParams + 2, Wire::LE16, &MotorReply::currentRaw},
}};
static_assert(FieldsFit<MotorParams>(kParamsLayout, mot::kParams, mot::kParams + 4));
static_assert(FieldsFit<MotorReply>(kMonitorLayout, mot::kParams, mot::kParams + 4));

} // namespace

std::span<const WireField<MotorParams>> MotorParamsLayout()
{
    return kParamsLayout;
}

bool IsSentMotorCommand(std::uint8_t command)
{
    switch (command) {
    case kMotorCmdWrite:
    case kMotorCmdRead:
    case kMotorCmdRead2:
    case kMotorCmdMonitor:
    case kMotorCmdMonitor2:
        return true;
    default:
        return false;
    }
}

void EncodeMotorRequest(std::uint8_t command, std::uint8_t flashFlag, const MotorParams& params, Frame& out)
{
    PutHeader(out);
    out[mot::kFlash] = flashFlag;
    out[mot::kCommand] = IsSentMotorCommand(command) ? command : kMotorCmdNone;
    if (command == kMotorCmdWrite)
        PutFields<MotorParams>(kParamsLayout, params, out);
    SealFrame(out);
}

MotorRequest ParseMotorRequest(const Frame& f)
{
    MotorRequest r;
    r.flashFlag = f[mot::kFlash];
    r.command = f[mot::kCommand];
    MotorParams p;
    TakeFields<MotorParams>(kParamsLayout, f, p);
    r.POL_MOTOR1 = p.POL_MOTOR1;
    r.POW_MOTOR1 = p.POW_MOTOR1;
    r.POL_MOTOR2 = p.POL_MOTOR2;
    r.POW_MOTOR2 = p.POW_MOTOR2;
    return r;
}

MotorReply ParseMotorReply(const Frame& f)
{
    MotorReply r;
    r.flashResult = f[mot::kFlash];
    r.firmware = f[mot::kFirmware];
    r.type = f[mot::kCommand];
    if (r.type == kMotorCmdRead)
        TakeFields<MotorParams>(kParamsLayout, f, r.params);
    else if (r.type == kMotorCmdMonitor)
        TakeFields<MotorReply>(kMonitorLayout, f, r);
    return r;
}

void EncodeMotorReply(const MotorReply& reply, Frame& out)
{
    PutHeader(out);
    out[mot::kFlash] = reply.flashResult;
    out[mot::kFirmware] = reply.firmware;
    out[mot::kCommand] = reply.type;
    if (reply.type == kMotorCmdRead)
        PutFields<MotorParams>(kParamsLayout, reply.params, out);
    else if (reply.type == kMotorCmdMonitor)
        PutFields<MotorReply>(kMonitorLayout, reply, out);
    SealFrame(out);
}

std::uint16_t MotorVoltsToRaw(double volts)
{
    return ToRaw(volts, kMotorVoltsPerUnit);
}
std::uint16_t MotorAmpsToRaw(double amps)
{
    return ToRaw(amps, kMotorAmpsPerUnit);
}

} // namespace qav
