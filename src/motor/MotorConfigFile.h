#pragma once
// Motor configuration files (.bmc): one INI section "MOTOR_PARAMETERS" with
// the four board parameters as decimal integers, written in the order
// POL_MOTOR1, POW_MOTOR1, POL_MOTOR2, POW_MOTOR2. The directions are not
// stored. Other sections and keys of an existing file are kept. The keys
// and their order come from the parameter table (MotorParamTable.h).
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

// The four entries a save writes, each "%d" of the unsigned byte.
std::vector<IniEntry> MotorConfigEntries(const MotorParams& params);

// Writes the four keys in one atomic replacement, creating the file when
// missing.
Result SaveMotorConfig(const std::string& path, const MotorParams& params);

// Reads the four keys of `path` into `params`, each by the atol rules,
// saturated to 32 bits as the Windows atol does, then cut to its low 8 bits
// (300 gives 44, -1 gives 255). A key the file (a missing section or file)
// lacks reads as 0 or keeps its value, by `missing`. The directions are left
// alone. Fails when the file exists but cannot be read; the keys are then all
// missing.
Result LoadMotorConfig(const std::string& path, MotorParams& params, ConfigLoadReport* report = nullptr,
                       MissingKeys missing = MissingKeys::ReadAsZero);
// The same from a file already read.
void LoadMotorConfig(const IniDocument& doc, MotorParams& params, ConfigLoadReport* report = nullptr,
                     MissingKeys missing = MissingKeys::ReadAsZero);

// The four keys with the values a byte carries and the range of the
// dialog's boxes, from the parameter table: the table for ReadCheckedConfig.
std::vector<ConfigKeyRange> MotorConfigKeyRanges();

// Puts the checked file's values into `params`; keys the file lacks stay.
void ApplyMotorConfig(const CheckedConfig& checked, MotorParams& params);

} // namespace qav
