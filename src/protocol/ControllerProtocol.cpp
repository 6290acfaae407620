#include "protocol/ControllerProtocol.h"

namespace qav {
namespace {

using P = ControllerParams;
using F = WireField<P>;

constexpr std::uint8_t kFixedServoType = 7;
constexpr std::uint8_t kFixedControlMode = 1;

// Type 1 and echo 0x81.
constexpr std::array<F, 8> kGains{{
    {14, Wire::BE16, &P::ROLL_TOTAL},
    {16, Wire::BE16, &P::ROLL_VEL},
    {18, Wire::BE16, &P::ROLL_INT},
    {20, Wire::BE16, &P::ROLL_ACC},
    {22, Wire::BE16, &P::PITCH_TOTAL},
    {24, Wire::BE16, &P::PITCH_VEL},
    {26, Wire::BE16, &P::PITCH_INT},
    {28, Wire::BE16, &P::PITCH_ACC},
}};

// Bytes 14 to 16 of type 2 and echo 0x82.
constexpr std::array<F, 3> kDirections{{
    {14, Wire::Byte, &P::ROLL_SERVO_REV},
    {15, Wire::Byte, &P::PITCH_SERVO_REV},
    {16, Wire::Byte, &P::YAW_SERVO_REV},
}};
// The servo centres are never sent; the servo types go as a fixed value.
constexpr std::array<F, 3> kFixedServoTypes{{
    FixedByte<P>(23, kFixedServoType),
    FixedByte<P>(24, kFixedServoType),
    FixedByte<P>(25, kFixedServoType),
}};
constexpr std::array<F, 6> kServoSetup{{
    {17, Wire::BE16, &P::ROLL_SERVO_CENTER},
    {19, Wire::BE16, &P::PITCH_SERVO_CENTER},
    {21, Wire::BE16, &P::YAW_SERVO_CENTER},
    {23, Wire::Byte, &P::ROLL_SERVO_TYPE},
    {24, Wire::Byte, &P::PITCH_SERVO_TYPE},
    {25, Wire::Byte, &P::YAW_SERVO_TYPE},
}};

// Bytes 17 to 26 of type 3 and echo 0x83, which differ only in bytes 14 to 16.
constexpr std::array<F, 9> kLimits{{
    {17, Wire::Byte, &P::RECEIVER_TYPE},
    {19, Wire::Byte, &P::INSTALL_MODE},
    {20, Wire::HalfDegrees, &P::ROLL_MAX},
    {21, Wire::HalfDegrees, &P::ROLL_MIN},
    {22, Wire::HalfDegrees, &P::PITCH_MAX},
    {23, Wire::HalfDegrees, &P::PITCH_MIN},
    {24, Wire::Byte, &P::ROLL_RC_ACC},
    {25, Wire::Byte, &P::PITCH_RC_ACC},
    {26, Wire::Byte, &P::YAW_RC_ACC},
}};
constexpr std::array<F, 3> kFixedControlModes{{
    FixedByte<P>(14, kFixedControlMode),
    FixedByte<P>(15, kFixedControlMode),
    FixedByte<P>(16, kFixedControlMode),
}};
constexpr std::array<F, 3> kControlModes{{
    {14, Wire::Byte, &P::ROLL_CTRL_MODE},
    {15, Wire::Byte, &P::PITCH_CTRL_MODE},
    {16, Wire::Byte, &P::YAW_CTRL_MODE},
}};

// Type 4 and echo 0x84; the pan integral gain comes before the pan velocity
// gain.
constexpr std::array<F, 7> kPan{{
    {14, Wire::BE16, &P::YAW_TOTAL},
    {16, Wire::BE16, &P::YAW_INT},
    {18, Wire::BE16, &P::YAW_VEL},
    {20, Wire::BE16, &P::YAW_ACC},
    {22, Wire::BE16, &P::INIT_PITCH},
    {24, Wire::BE16, &P::INIT_ROLL},
    {26, Wire::Byte, &P::DEFAULT_MODE},
}};

constexpr auto kUploadDirections = Join(kDirections, kFixedServoTypes);
constexpr auto kUploadLimits = Join(kFixedControlModes, kLimits);
constexpr auto kEchoDirections = Join(kDirections, kServoSetup);
constexpr auto kEchoLimits = Join(kControlModes, kLimits);

template <class S, std::size_t N> constexpr bool InPayload(const std::array<WireField<S>, N>& fields)
{
    return FieldsFit<S>(fields, ctl::kPayload, kCrcCoveredBytes);
}
static_assert(InPayload(kGains) && InPayload(kUploadDirections) && InPayload(kUploadLimits) &&
              InPayload(kPan));
static_assert(InPayload(kEchoDirections) && InPayload(kEchoLimits));

} // namespace

std::span<const WireField<ControllerParams>> ControllerPayloadLayout(std::uint8_t type)
{
    switch (type) {
    case kTypeGains:
    case kTypeReadGains:
        return kGains;
    case kTypeDirections:
        return kUploadDirections;
    case kTypeReadDirections:
        return kEchoDirections;
    case kTypeLimits:
        return kUploadLimits;
    case kTypeReadLimits:
        return kEchoLimits;
    case kTypePan:
    case kTypeReadPan:
        return kPan;
    default:
        return {};
    }
}

void EncodeUploadPayload(std::uint8_t type, const ControllerParams& p, Frame& f)
{
    if (!IsUploadType(type)) {
        f[ctl::kType] = kTypePoll;
        return;
    }
    f[ctl::kType] = type;
    PutFields(ControllerPayloadLayout(type), p, f);
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
    if (IsUploadType(f[ctl::kType]))
        TakeFields(ControllerPayloadLayout(f[ctl::kType]), f, p);
}

void EncodeEchoPayload(std::uint8_t type, const ControllerParams& p, Frame& f)
{
    f[ctl::kType] = type;
    if (IsReadBackType(type))
        PutFields(ControllerPayloadLayout(type), p, f);
}

void DecodeEchoPayload(const Frame& f, ControllerParams& p)
{
    if (IsReadBackType(f[ctl::kType]))
        TakeFields(ControllerPayloadLayout(f[ctl::kType]), f, p);
}

} // namespace qav
