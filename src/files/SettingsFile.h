#pragma once
// The program's own settings, "Setting.ini" in the start-up directory:
// section "Setting" with the chosen entry of each COM-port list, the main
// screen's under "COM" and the motor dialog's under "MOTOR_COM". Values are
// list indexes, not port numbers. Beside each, the chosen port's name
// ("COM12") under "COM_NAME" and "MOTOR_COM_NAME", so a port is found again
// when others have appeared before it in the list. The Windows tool reads
// the file as it is: it ignores the keys it does not know.
#include "platform/IniFile.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qav {

inline constexpr std::string_view kSettingsFileName = "Setting.ini";
inline constexpr std::string_view kSettingsSection = "Setting";
inline constexpr std::string_view kSettingsComKey = "COM";
inline constexpr std::string_view kSettingsMotorComKey = "MOTOR_COM";
inline constexpr std::string_view kSettingsComNameKey = "COM_NAME";
inline constexpr std::string_view kSettingsMotorComNameKey = "MOTOR_COM_NAME";

// `startupDirectory` ends with a path separator.
std::string SettingsFilePath(const std::string& startupDirectory);

// The stored index, by the atol rules: 0 when the file or key is missing,
// -1 stays -1. Values beyond 32 bits saturate.
std::int32_t ReadStoredIndex(const std::string& startupDirectory, std::string_view key);

// Writes the index with "%d", creating the file and section when missing.
Result WriteStoredIndex(const std::string& startupDirectory, std::string_view key, std::int32_t index);

// A stored port: its COM number from the name under `key` ("COM12" gives
// 12); 0 when missing or not a port name.
int ReadStoredPortName(const std::string& startupDirectory, std::string_view key);
// Stores "COM<n>", or an empty value for 0 (no port chosen).
Result WriteStoredPortName(const std::string& startupDirectory, std::string_view key, int number);

} // namespace qav
