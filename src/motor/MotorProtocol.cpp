#include "motor/MotorProtocol.h"

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

} // namespace

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
    if (command == kMotorCmdWrite) {
        out[mot::kParams] = params.POL_MOTOR1;
        out[mot::kParams + 1] = params.POW_MOTOR1;
        out[mot::kParams + 2] = params.POL_MOTOR2;
        out[mot::kParams + 3] = params.POW_MOTOR2;
    }
    SealFrame(out);
}

MotorRequest ParseMotorRequest(const Frame& f)
{
    MotorRequest r;
    r.flashFlag = f[mot::kFlash];
    r.command = f[mot::kCommand];
    r.POL_MOTOR1 = f[mot::kParams];
    r.POW_MOTOR1 = f[mot::kParams + 1];
    r.POL_MOTOR2 = f[mot::kParams + 2];
    r.POW_MOTOR2 = f[mot::kParams + 3];
    return r;
}

MotorReply ParseMotorReply(const Frame& f)
{
    MotorReply r;
    r.flashResult = f[mot::kFlash];
    r.firmware = f[mot::kFirmware];
    r.type = f[mot::kCommand];
    if (r.type == kMotorCmdRead) {
        r.params.POL_MOTOR1 = f[mot::kParams];
        r.params.POW_MOTOR1 = f[mot::kParams + 1];
        r.params.POL_MOTOR2 = f[mot::kParams + 2];
        r.params.POW_MOTOR2 = f[mot::kParams + 3];
    } else if (r.type == kMotorCmdMonitor) {
        r.voltageRaw = static_cast<std::uint16_t>(f[mot::kParams] | f[mot::kParams + 1] << 8);
        r.currentRaw = static_cast<std::uint16_t>(f[mot::kParams + 2] | f[mot::kParams + 3] << 8);
    }
    return r;
}

void EncodeMotorReply(const MotorReply& reply, Frame& out)
{
    PutHeader(out);
    out[mot::kFlash] = reply.flashResult;
    out[mot::kFirmware] = reply.firmware;
    out[mot::kCommand] = reply.type;
    if (reply.type == kMotorCmdRead) {
        out[mot::kParams] = reply.params.POL_MOTOR1;
        out[mot::kParams + 1] = reply.params.POW_MOTOR1;
        out[mot::kParams + 2] = reply.params.POL_MOTOR2;
        out[mot::kParams + 3] = reply.params.POW_MOTOR2;
    } else if (reply.type == kMotorCmdMonitor) {
        out[mot::kParams] = static_cast<std::uint8_t>(reply.voltageRaw & 0xFF);
        out[mot::kParams + 1] = static_cast<std::uint8_t>(reply.voltageRaw >> 8);
        out[mot::kParams + 2] = static_cast<std::uint8_t>(reply.currentRaw & 0xFF);
        out[mot::kParams + 3] = static_cast<std::uint8_t>(reply.currentRaw >> 8);
    }
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
