#pragma once
// Controller configuration files (.bgsc and .ini): one INI section
// "PARAMETERS" with one key per parameter that has a file key, each value a
// decimal integer.
//
// A save writes 24 keys in a fixed order; a load reads 23 of them (the pan
// servo centre is written only). Parameters without a key (pan gains, pan
// direction and RC sensitivity, servo types, control modes) are neither
// written nor read. Other sections and keys of an existing file are kept.
#include "files/ConfigFileCheck.h"
#include "platform/IniFile.h"
#include "protocol/ControllerProtocol.h"

#include <string>
#include <string_view>
#include <vector>

namespace qav {

inline constexpr std::string_view kControllerConfigSection = "PARAMETERS";

// The keys, their order and how each is written come from the parameter
// table (protocol/ControllerParamTable.h).

// Writes the 24 keys from `params` into `path` in one atomic replacement,
// creating the file when missing. Unsigned parameters go as their unsigned
// value, signed ones as signed, the two motor directions as signed bytes (so
// 0xFF is written as -1).
Result SaveControllerConfig(const std::string& path, const ControllerParams& params);

// The 24 entries a save writes, in order, for callers that add entries of
// their own to the same atomic replacement.
std::vector<IniEntry> ControllerConfigEntries(const ControllerParams& params);

// Reads the 23 keys of `path` into `params`, each by the atol rules and cut
// to its parameter's width (the low bits of the number: 70000 gives 4464 in
// a 16-bit parameter, -1 and 255 both give 0xFF in an 8-bit one). A key the
// file (or a missing file) lacks reads as 0 or keeps its value, by
// `missing`. Every other field of `params` is left alone. Fails when the
// file exists but cannot be read; the keys are then all missing.
Result LoadControllerConfig(const std::string& path, ControllerParams& params, ConfigLoadReport* report = nullptr,
                            MissingKeys missing = MissingKeys::ReadAsZero);
// The same from a file already read.
void LoadControllerConfig(const IniDocument& doc, ControllerParams& params, ConfigLoadReport* report = nullptr,
                          MissingKeys missing = MissingKeys::ReadAsZero);

// The 23 keys a load reads, in order, each with the values its parameter
// can hold and carry to the controller and the range the screen enforces:
// the table for ReadCheckedConfig, built from the parameter table.
std::vector<ConfigKeyRange> ControllerConfigKeyRanges();
// The keys a save writes and a load never reads.
std::vector<std::string_view> ControllerConfigWriteOnlyKeys();

// Puts the values of a checked file into `params`; parameters whose key the
// file lacks, and those without a key, keep their values.
void ApplyControllerConfig(const CheckedConfig& checked, ControllerParams& params);

} // namespace qav
