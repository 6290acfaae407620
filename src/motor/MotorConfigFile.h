#pragma once
// Motor configuration files (.bmc): one INI section "MOTOR_PARAMETERS" with
// the four board parameters as decimal integers, written in the order
// POL_MOTOR1, POW_MOTOR1, POL_MOTOR2, POW_MOTOR2. The directions are not
// stored. Other sections and keys of an existing file are kept.
#include "motor/MotorProtocol.h"
#include "platform/IniFile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

inline constexpr std::string_view kMotorConfigSection = "MOTOR_PARAMETERS";

// The four keys in file order, with the member each one stands for.
struct MotorConfigKey
{
    std::string_view key;
    std::uint8_t MotorParams::*param;
};
extern const std::array<MotorConfigKey, 4> kMotorConfigKeys;

// The four entries a save writes, each "%d" of the unsigned byte.
std::vector<IniEntry> MotorConfigEntries(const MotorParams& params);

// Writes the four keys in one atomic replacement, creating the file when
// missing.
IniWriteResult SaveMotorConfig(const std::string& path, const MotorParams& params);

// Reads the four keys of `path` into `params`, each by the atol rules (a
// missing key, section or file reads as 0), saturated to 32 bits as the
// Windows atol does, then cut to its low 8 bits (300 gives 44, -1 gives 255).
// The directions are left alone. Returns false when the file exists but
// cannot be read (errno set); the keys then read as 0.
bool LoadMotorConfig(const std::string& path, MotorParams& params);

// The stricter reading of a tool that sends a file to the board without a
// person looking at the boxes: the file must be a regular file of at most
// kMotorFileMaxBytes with a MOTOR_PARAMETERS section whose values are whole
// numbers from 0 to 100. A key that is missing is not an error: its value
// is left empty for the caller to fill from the board.
inline constexpr std::uintmax_t kMotorFileMaxBytes = 1u << 20;
inline constexpr int kMotorParamMax = 100;

struct MotorFileCheck
{
    bool ok = false;
    std::string problem;                               // one sentence when not ok
    std::array<std::optional<std::uint8_t>, 4> values; // by kMotorConfigKeys
};
MotorFileCheck CheckMotorConfigFile(const std::string& path);

} // namespace qav
