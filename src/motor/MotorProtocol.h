#pragma once
// The motor driver board's side of the wire: request and reply frames with
// header 0xEB 0x90, the same 32-byte framing and CRC as the controller link.
// The tool sends requests; the board only answers.
//
// Request: byte 2 the flash-write flag, byte 5 the command, bytes 6 to 9 the
// four parameters (command 1 only). Reply: byte 2 the flash result, byte 4
// the board's firmware version in tenths, byte 5 the reply type, bytes 6 to 9
// by type (the parameters, or voltage and current as little-endian raw
// values).
#include "protocol/FieldLayout.h"
#include "protocol/Frame.h"

#include <cstdint>

namespace qav {

inline constexpr std::uint8_t kMotorHeader0 = 0xEB;
inline constexpr std::uint8_t kMotorHeader1 = 0x90;

namespace mot {
inline constexpr std::size_t kFlash = 2;    // request: flash-write flag; reply: flash result
inline constexpr std::size_t kFirmware = 4; // reply: firmware version in tenths (15 is 1.5)
inline constexpr std::size_t kCommand = 5;  // request: command; reply: reply type
inline constexpr std::size_t kParams = 6;   // four parameter bytes, or two raw 16-bit values
} // namespace mot

// Command codes (request byte 5) and reply types (reply byte 5).
inline constexpr std::uint8_t kMotorCmdNone = 0;
inline constexpr std::uint8_t kMotorCmdWrite = 1;  // store the parameters; with the flash flag also in flash
inline constexpr std::uint8_t kMotorCmdRead = 17;  // parameter report
inline constexpr std::uint8_t kMotorCmdRead2 = 18; // sent without payload; never selected by the tool
inline constexpr std::uint8_t kMotorCmdMonitor = 33; // supply voltage and current
inline constexpr std::uint8_t kMotorCmdMonitor2 = 34;

// Request byte 2.
inline constexpr std::uint8_t kMotorFlashStore = 1;
// Reply byte 2: stored, storing failed; anything else means no result.
inline constexpr std::uint8_t kMotorFlashDone = 1;
inline constexpr std::uint8_t kMotorFlashFailed = 0x81;

// Monitor scaling: volts per raw unit (36.3 / 4096) and amperes per raw unit
// (16.5 / 4096).
inline constexpr double kMotorVoltsPerUnit = 36.3 / 4096.0;
inline constexpr double kMotorAmpsPerUnit = 16.5 / 4096.0;

// Motor directions as the tool keeps them.
inline constexpr std::uint8_t kMotorDirectionNormal = 0x01;
inline constexpr std::uint8_t kMotorDirectionReversed = 0xFF;

// The motor board's configuration; one byte each. The directions (0xFF
// reversed, 0x01 normal) are kept by the tool and its files but never travel.
struct MotorParams
{
    std::uint8_t POL_MOTOR1 = 0; // pole count, rolling motor
    std::uint8_t POW_MOTOR1 = 0; // power, rolling motor
    std::uint8_t POL_MOTOR2 = 0; // pole count, tilting motor
    std::uint8_t POW_MOTOR2 = 0; // power, tilting motor
    std::uint8_t DIR_MOTOR1 = 0;
    std::uint8_t DIR_MOTOR2 = 0;

    bool operator==(const MotorParams&) const = default;
};

// Where bytes 6 to 9 of a write request and of a parameter report carry
// the four parameters.
std::span<const WireField<MotorParams>> MotorParamsLayout();

// True for the commands a request carries as they are; any other command
// goes as 0.
bool IsSentMotorCommand(std::uint8_t command);

// Fills `out` with a request: flash flag (0 or 1) in byte 2, the command in
// byte 5 (0 for commands not sent as they are), the four parameters in bytes
// 6 to 9 for command 1 only, and the CRC. Every other byte is 0.
void EncodeMotorRequest(std::uint8_t command, std::uint8_t flashFlag, const MotorParams& params, Frame& out);

// What a request asks, as the board reads it.
struct MotorRequest
{
    std::uint8_t flashFlag = 0;
    std::uint8_t command = 0;
    std::uint8_t POL_MOTOR1 = 0, POW_MOTOR1 = 0, POL_MOTOR2 = 0, POW_MOTOR2 = 0;
};
MotorRequest ParseMotorRequest(const Frame& frame);

// A reply, as the tool reads it. The fields of bytes 6 to 9 are filled by
// what the reply type says they hold; the others stay 0.
struct MotorReply
{
    std::uint8_t flashResult = 0;
    std::uint8_t firmware = 0;
    std::uint8_t type = 0;
    MotorParams params;           // type 17 (directions not touched)
    std::uint16_t voltageRaw = 0; // type 33
    std::uint16_t currentRaw = 0; // type 33
    double Volts() const { return voltageRaw * kMotorVoltsPerUnit; }
    double Amps() const { return currentRaw * kMotorAmpsPerUnit; }
};
MotorReply ParseMotorReply(const Frame& frame);

// The board's side: fills `out` with a reply of `reply.type` (parameters for
// type 17, raw voltage and current little-endian for type 33) and its CRC.
void EncodeMotorReply(const MotorReply& reply, Frame& out);

// Raw monitor values for volts and amperes, rounded to the nearest unit and
// kept within 16 bits.
std::uint16_t MotorVoltsToRaw(double volts);
std::uint16_t MotorAmpsToRaw(double amps);

} // namespace qav
