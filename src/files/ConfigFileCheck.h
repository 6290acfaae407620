#pragma once
// Strict reading of a configuration file for tools that send it to a device
// without a person looking at it first: the controller's and the motor
// board's files alike, each with its own section and key table.
//
// The file must be a regular file of at most 1 MiB (see IniFile.h), hold
// its section, and give every key of the table that it has a whole number
// its key's field can hold. Keys the file lacks are listed, not refused, so
// that the caller can keep the device's own values for them. Nothing here
// prints; failures come back as one sentence that names the file.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

// A key and the values its field can hold (the field's width, not the range
// an editor enforces: a device's own values may lie outside that).
struct ConfigKeyRange
{
    std::string_view key;
    std::int64_t min, max;
};

struct ConfigValue
{
    std::string_view key; // points into the caller's key table
    std::int64_t value;
};

struct CheckedConfig
{
    std::vector<ConfigValue> values;       // keys the file has, in table order
    std::vector<std::string_view> missing; // keys it lacks, in table order
};

// Reads and checks `path`. False with `why` set to one sentence, such as
// "Cannot read a.bgsc: not a regular file.", "a.bgsc has no [PARAMETERS]
// section." or "a.bgsc has values its parameters cannot hold: ROLL_TOTAL=-1
// (0 to 65535), ROLL_VEL=12abc (not a whole number)."; `out` is then empty.
bool ReadCheckedConfig(const std::string& path, std::string_view section,
                       std::span<const ConfigKeyRange> keys, CheckedConfig& out, std::string& why);

// Whether `path` may be written as a configuration file: missing, or an
// existing regular file of at most 1 MiB (a save merges into what is there).
// False with `why` set to "Cannot write PATH: <reason>.".
bool CheckConfigOutput(const std::string& path, std::string& why);

// "A, B and C".
std::string JoinKeys(const std::vector<std::string_view>& keys);

} // namespace qav
