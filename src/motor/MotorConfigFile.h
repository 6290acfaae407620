#pragma once
// Motor configuration files (.bmc): one INI section "MOTOR_PARAMETERS" with
// the four board parameters as decimal integers, written in the order
// POL_MOTOR1, POW_MOTOR1, POL_MOTOR2, POW_MOTOR2. The directions are not
// stored. Other sections and keys of an existing file are kept.
#include "files/ConfigFileCheck.h"
#include "motor/MotorProtocol.h"
#include "platform/IniFile.h"

#include <array>
#include <cstdint>
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
// The directions are left alone. Fails when the file exists but cannot be
// read; the keys then read as 0.
Result LoadMotorConfig(const std::string& path, MotorParams& params);

// The four keys with the range a tool sending a file to the board accepts
// (the range of the dialog's boxes), for ReadCheckedConfig.
inline constexpr int kMotorParamMax = 100;
extern const std::array<ConfigKeyRange, 4> kMotorConfigRanges;

// Puts the checked file's values into `params`; keys the file lacks stay.
void ApplyMotorConfig(const CheckedConfig& checked, MotorParams& params);

} // namespace qav
