#pragma once
// The main controller's side of the wire: its parameter set, the link state
// the PC keeps for it, and the layouts of the frames that carry them.
//
// Multi-byte payload fields are big-endian; the attitude in bytes 5 to 10 of
// the controller's answers is little-endian. Angle limits travel as half
// their value in degrees in one signed byte; initial angles as tenths of a
// degree in 16 bits.
#include "protocol/FieldLayout.h"
#include "protocol/Frame.h"

#include <cstdint>

namespace qav {

inline constexpr std::uint8_t kControllerHeader0 = 0xAB;
inline constexpr std::uint8_t kControllerHeader1 = 0xCD;

// Byte positions common to both directions.
namespace ctl {
inline constexpr std::size_t kCounter = 2;
inline constexpr std::size_t kMotorState = 3; // controller to PC
inline constexpr std::size_t kCommand = 4;    // command code (PC) or result code (controller)
inline constexpr std::size_t kRoll = 5;       // little-endian tenths of a degree
inline constexpr std::size_t kTilt = 7;
inline constexpr std::size_t kPan = 9;
inline constexpr std::size_t kFirmware = 12; // tenths: 23 is version 2.3
inline constexpr std::size_t kType = 13;
inline constexpr std::size_t kPayload = 14;
} // namespace ctl

// Frame types (byte 13).
enum : std::uint8_t {
    kTypePoll = 0,
    kTypeGains = 1,
    kTypeDirections = 2,
    kTypeLimits = 3,
    kTypePan = 4,
    kTypeReadGains = 0x81,
    kTypeReadDirections = 0x82,
    kTypeReadLimits = 0x83,
    kTypeReadPan = 0x84,
};

// Command codes carried in byte 4 of every frame the PC sends.
enum : std::uint8_t {
    kCmdNone = 0,
    kCmdMotorOn = 1,
    kCmdMotorOff = 2,
    kCmdPidOff = 3,
    kCmdWriteFlash = 4,
    kCmdCalibrate = 5,
};
// A failed command is answered with its code plus this.
inline constexpr std::uint8_t kResultFailed = 0x80;

// Motor state (byte 3 of the controller's answers).
inline constexpr std::uint8_t kMotorsOn = 1;
inline constexpr std::uint8_t kMotorsOff = 3;

inline bool IsUploadType(std::uint8_t t)
{
    return t >= kTypeGains && t <= kTypePan;
}
inline bool IsReadBackType(std::uint8_t t)
{
    return t >= kTypeReadGains && t <= kTypeReadPan;
}

// Motor directions (ROLL_SERVO_REV and its like); never 0.
inline constexpr std::int8_t kDirectionNormal = 1;
inline constexpr std::int8_t kDirectionReversed = -1; // 0xFF on the wire

// The PC's copy of the controller's configuration, in record order. Every
// field starts at 0; out-of-range values from the controller or a file are
// kept as they are.
struct ControllerParams
{
    std::uint16_t ROLL_TOTAL = 0, ROLL_VEL = 0, ROLL_INT = 0;
    std::uint16_t PITCH_TOTAL = 0, PITCH_VEL = 0, PITCH_INT = 0;
    std::uint16_t YAW_TOTAL = 0, YAW_INT = 0, YAW_VEL = 0;
    std::int8_t ROLL_SERVO_REV = 0, PITCH_SERVO_REV = 0, YAW_SERVO_REV = 0; // 1 normal, -1 reversed
    std::int32_t ROLL_MAX = 0, ROLL_MIN = 0, PITCH_MAX = 0, PITCH_MIN = 0;  // degrees
    std::int16_t ROLL_SERVO_CENTER = 0, PITCH_SERVO_CENTER = 0, YAW_SERVO_CENTER = 0;
    std::uint8_t RECEIVER_TYPE = 0;
    std::uint8_t ROLL_CTRL_MODE = 0, PITCH_CTRL_MODE = 0, YAW_CTRL_MODE = 0;
    std::uint8_t INSTALL_MODE = 0;
    std::uint8_t ROLL_SERVO_TYPE = 0, PITCH_SERVO_TYPE = 0, YAW_SERVO_TYPE = 0;
    std::uint8_t ROLL_RC_ACC = 0, PITCH_RC_ACC = 0, YAW_RC_ACC = 0;
    std::uint16_t ROLL_ACC = 0, PITCH_ACC = 0, YAW_ACC = 0;
    std::int32_t INIT_PITCH = 0, INIT_ROLL = 0; // tenths of a degree
    std::uint8_t DEFAULT_MODE = 0;

    bool operator==(const ControllerParams&) const = default;
};

// The protocol state of the PC's link to the controller. Touched by one
// thread only (the GUI thread, or the CLI's loop).
struct ControllerLinkState
{
    std::uint8_t sequenceCounter = 0;
    bool linkEstablished = false;
    std::uint32_t watchdogCount = 0;
    std::uint8_t commandCode = kCmdNone;
    std::uint8_t pendingFrameType = kTypePoll;
    bool flashWritePending = false;
    float roll = 0, tilt = 0, pan = 0; // degrees
    std::uint8_t lastShownFirmware = 0;

    // Counts the selections, so the link can tell an answer to a frame sent
    // before the latest selection from one sent after it.
    std::uint32_t selections = 0;

    // Replaces whatever was pending: 1 starts the upload sequence 1..4, 0x81
    // the read-back sequence 0x81..0x84, 0 plain polls.
    void SelectFrameType(std::uint8_t type)
    {
        pendingFrameType = type;
        ++selections;
    }
};

// Fills `out` with the frame the PC sends on this tick: counter, command
// code, the pending type's payload and the CRC. Types outside 1..4 and
// 0x81..0x84 give a plain poll with byte 13 = 0.
void BuildFrame(const ControllerLinkState& link, const ControllerParams& params, Frame& out);

// Writes into bytes 13 to 29 the quarter of the set that an upload of `type`
// (1..4) carries: type 2 carries the fixed 7, 7, 7 in place of the servo
// types and type 3 the fixed 1, 1, 1 in place of the control modes.
void EncodeUploadPayload(std::uint8_t type, const ControllerParams& params, Frame& frame);

// The controller's side of an upload: stores the quarter that an upload frame
// of type 1..4 carries. The fixed servo-type and control-mode bytes are not
// taken; angle limits come in halved and are doubled back.
void ApplyUploadPayload(const Frame& frame, ControllerParams& params);

// The controller's parameter echo (types 0x81..0x84), which carries the
// servo centres, servo types and control modes the uploads leave out.
void EncodeEchoPayload(std::uint8_t type, const ControllerParams& params, Frame& frame);
// Decodes the echo quarter of frame type `frame[13]` into params.
void DecodeEchoPayload(const Frame& frame, ControllerParams& params);

// The payload layout of frame type `type` (uploads 1..4 and echoes
// 0x81..0x84), shared by encoder and decoder; empty for other types.
std::span<const WireField<ControllerParams>> ControllerPayloadLayout(std::uint8_t type);

// Big-endian and little-endian 16-bit helpers for frame fields.
inline void PutBE16(Frame& f, std::size_t at, std::uint16_t v)
{
    f[at] = static_cast<std::uint8_t>(v >> 8);
    f[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
}
inline std::uint16_t GetBE16(const Frame& f, std::size_t at)
{
    return static_cast<std::uint16_t>(f[at] << 8 | f[at + 1]);
}
inline void PutLE16(Frame& f, std::size_t at, std::uint16_t v)
{
    f[at] = static_cast<std::uint8_t>(v & 0xFF);
    f[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline std::uint16_t GetLE16(const Frame& f, std::size_t at)
{
    return static_cast<std::uint16_t>(f[at] | f[at + 1] << 8);
}

// An angle limit in degrees as it travels: halved with truncation toward
// zero, as one two's-complement byte.
inline std::uint8_t LimitToWire(std::int32_t degrees)
{
    return static_cast<std::uint8_t>(degrees / 2);
}
inline std::int32_t LimitFromWire(std::uint8_t b)
{
    return static_cast<std::int8_t>(b) * 2;
}

} // namespace qav
