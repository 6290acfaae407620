#include "protocol/ControllerProtocol.h"

namespace qav {
namespace {

constexpr std::uint8_t kFixedServoType = 7;
constexpr std::uint8_t kFixedControlMode = 1;

std::uint8_t Byte(std::int8_t v)
{
    return static_cast<std::uint8_t>(v);
}

// Bytes 14..29 of type 1 and echo 0x81 share one layout.
void PutGains(const ControllerParams& p, Frame& f)
{
    PutBE16(f, 14, p.ROLL_TOTAL);
    PutBE16(f, 16, p.ROLL_VEL);
    PutBE16(f, 18, p.ROLL_INT);
    PutBE16(f, 20, p.ROLL_ACC);
    PutBE16(f, 22, p.PITCH_TOTAL);
    PutBE16(f, 24, p.PITCH_VEL);
    PutBE16(f, 26, p.PITCH_INT);
    PutBE16(f, 28, p.PITCH_ACC);
}

void GetGains(const Frame& f, ControllerParams& p)
{
    p.ROLL_TOTAL = GetBE16(f, 14);
    p.ROLL_VEL = GetBE16(f, 16);
    p.ROLL_INT = GetBE16(f, 18);
    p.ROLL_ACC = GetBE16(f, 20);
    p.PITCH_TOTAL = GetBE16(f, 22);
    p.PITCH_VEL = GetBE16(f, 24);
    p.PITCH_INT = GetBE16(f, 26);
    p.PITCH_ACC = GetBE16(f, 28);
}

// Type 3 and echo 0x83 differ only in bytes 14 to 16.
void PutLimits(const ControllerParams& p, Frame& f)
{
    f[17] = p.RECEIVER_TYPE;
    f[19] = p.INSTALL_MODE;
    f[20] = LimitToWire(p.ROLL_MAX);
    f[21] = LimitToWire(p.ROLL_MIN);
    f[22] = LimitToWire(p.PITCH_MAX);
    f[23] = LimitToWire(p.PITCH_MIN);
    f[24] = p.ROLL_RC_ACC;
    f[25] = p.PITCH_RC_ACC;
    f[26] = p.YAW_RC_ACC;
}

void GetLimits(const Frame& f, ControllerParams& p)
{
    p.RECEIVER_TYPE = f[17];
    p.INSTALL_MODE = f[19];
    p.ROLL_MAX = LimitFromWire(f[20]);
    p.ROLL_MIN = LimitFromWire(f[21]);
    p.PITCH_MAX = LimitFromWire(f[22]);
    p.PITCH_MIN = LimitFromWire(f[23]);
    p.ROLL_RC_ACC = f[24];
    p.PITCH_RC_ACC = f[25];
    p.YAW_RC_ACC = f[26];
}

// Type 4 and echo 0x84 share one layout; the pan integral gain comes before
// the pan velocity gain.
void PutPan(const ControllerParams& p, Frame& f)
{
    PutBE16(f, 14, p.YAW_TOTAL);
    PutBE16(f, 16, p.YAW_INT);
    PutBE16(f, 18, p.YAW_VEL);
    PutBE16(f, 20, p.YAW_ACC);
    PutBE16(f, 22, static_cast<std::uint16_t>(p.INIT_PITCH & 0xFFFF));
    PutBE16(f, 24, static_cast<std::uint16_t>(p.INIT_ROLL & 0xFFFF));
    f[26] = p.DEFAULT_MODE;
}

void GetPan(const Frame& f, ControllerParams& p)
{
    p.YAW_TOTAL = GetBE16(f, 14);
    p.YAW_INT = GetBE16(f, 16);
    p.YAW_VEL = GetBE16(f, 18);
    p.YAW_ACC = GetBE16(f, 20);
    p.INIT_PITCH = static_cast<std::int16_t>(GetBE16(f, 22));
    p.INIT_ROLL = static_cast<std::int16_t>(GetBE16(f, 24));
    p.DEFAULT_MODE = f[26];
}

void PutDirections(const ControllerParams& p, Frame& f)
{
    f[14] = Byte(p.ROLL_SERVO_REV);
    f[15] = Byte(p.PITCH_SERVO_REV);
    f[16] = Byte(p.YAW_SERVO_REV);
}

} // namespace

void EncodeUploadPayload(std::uint8_t type, const ControllerParams& p, Frame& f)
{
    f[ctl::kType] = type;
    switch (type) {
    case kTypeGains:
        PutGains(p, f);
        break;
    case kTypeDirections:
        // The servo centres are never sent.
        PutDirections(p, f);
        f[23] = f[24] = f[25] = kFixedServoType;
        break;
    case kTypeLimits:
        f[14] = f[15] = f[16] = kFixedControlMode;
        PutLimits(p, f);
        break;
    case kTypePan:
        PutPan(p, f);
        break;
    default:
        f[ctl::kType] = kTypePoll;
        break;
    }
}

void BuildFrame(const ControllerLinkState& link, const ControllerParams& params, Frame& out)
{
    out.fill(0);
    out[0] = kControllerHeader0;
    out[1] = kControllerHeader1;
    out[ctl::kCounter] = link.sequenceCounter;
    out[ctl::kCommand] = link.commandCode;
    const std::uint8_t type = link.pendingFrameType;
    if (IsUploadType(type))
        EncodeUploadPayload(type, params, out);
    else if (IsReadBackType(type))
        out[ctl::kType] = type;
    SealFrame(out);
}

void ApplyUploadPayload(const Frame& f, ControllerParams& p)
{
    switch (f[ctl::kType]) {
    case kTypeGains:
        GetGains(f, p);
        break;
    case kTypeDirections:
        p.ROLL_SERVO_REV = static_cast<std::int8_t>(f[14]);
        p.PITCH_SERVO_REV = static_cast<std::int8_t>(f[15]);
        p.YAW_SERVO_REV = static_cast<std::int8_t>(f[16]);
        break;
    case kTypeLimits:
        GetLimits(f, p);
        break;
    case kTypePan:
        GetPan(f, p);
        break;
    default:
        break;
    }
}

void EncodeEchoPayload(std::uint8_t type, const ControllerParams& p, Frame& f)
{
    f[ctl::kType] = type;
    switch (type) {
    case kTypeReadGains:
        PutGains(p, f);
        break;
    case kTypeReadDirections:
        PutDirections(p, f);
        PutBE16(f, 17, static_cast<std::uint16_t>(p.ROLL_SERVO_CENTER));
        PutBE16(f, 19, static_cast<std::uint16_t>(p.PITCH_SERVO_CENTER));
        PutBE16(f, 21, static_cast<std::uint16_t>(p.YAW_SERVO_CENTER));
        f[23] = p.ROLL_SERVO_TYPE;
        f[24] = p.PITCH_SERVO_TYPE;
        f[25] = p.YAW_SERVO_TYPE;
        break;
    case kTypeReadLimits:
        f[14] = p.ROLL_CTRL_MODE;
        f[15] = p.PITCH_CTRL_MODE;
        f[16] = p.YAW_CTRL_MODE;
        PutLimits(p, f);
        break;
    case kTypeReadPan:
        PutPan(p, f);
        break;
    default:
        break;
    }
}

void DecodeEchoPayload(const Frame& f, ControllerParams& p)
{
    switch (f[ctl::kType]) {
    case kTypeReadGains:
        GetGains(f, p);
        break;
    case kTypeReadDirections:
        p.ROLL_SERVO_REV = static_cast<std::int8_t>(f[14]);
        p.PITCH_SERVO_REV = static_cast<std::int8_t>(f[15]);
        p.YAW_SERVO_REV = static_cast<std::int8_t>(f[16]);
        p.ROLL_SERVO_CENTER = static_cast<std::int16_t>(GetBE16(f, 17));
        p.PITCH_SERVO_CENTER = static_cast<std::int16_t>(GetBE16(f, 19));
        p.YAW_SERVO_CENTER = static_cast<std::int16_t>(GetBE16(f, 21));
        p.ROLL_SERVO_TYPE = f[23];
        p.PITCH_SERVO_TYPE = f[24];
        p.YAW_SERVO_TYPE = f[25];
        break;
    case kTypeReadLimits:
        p.ROLL_CTRL_MODE = f[14];
        p.PITCH_CTRL_MODE = f[15];
        p.YAW_CTRL_MODE = f[16];
        GetLimits(f, p);
        break;
    case kTypeReadPan:
        GetPan(f, p);
        break;
    default:
        break;
    }
}

} // namespace qav
