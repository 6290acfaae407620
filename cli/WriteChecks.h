#pragma once
// What `write` checks in a file's values before it opens a port, for both
// boards: keys that are no parameter are named as ignored; values the
// screens would not allow are refused unless the user allows them; values
// the board's frames cannot carry are refused always. The ranges come from
// the boards' parameter tables.
#include "files/ConfigFileCheck.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav::cli {

// Says on `err` that `file`'s keys `unknown` are no parameter and ignored
// (a misspelt key must not pass unseen), and for each near one of `keys`
// which it may have meant; nothing when there are none. The names are
// escaped: they come from the file.
void SayIgnoredKeys(const std::string& file, const std::vector<std::string>& unknown,
                    std::span<const ConfigKeyRange> keys, std::ostream& err);

// Says on `err` which keys of `checked` are ignored, then checks the file of
// `section` for `device` ("controller", "motor board"): `read` is how
// ReadCheckedConfig ended, and every fault is named at once, the values no
// field holds with those outside the screens' ranges. A file that has none
// of the keys changes nothing and is refused. Returns kExitOk, or the exit
// code after saying why nothing is sent.
int CheckBeforeSending(const std::string& file, const Result& read, const CheckedConfig& checked,
                       std::string_view section, std::span<const ConfigKeyRange> keys, std::string_view device,
                       bool allowOutOfRange, std::ostream& err);

// The crossed limits a file's values make with the values a board keeps for
// the keys the file lacks: one sentence for the refusal, or empty.
std::string CrossedWithKeptValues(const std::string& file, const CheckedConfig& checked,
                                  std::span<const ConfigKeyRange> keys, std::string_view device,
                                  const std::function<std::int64_t(std::string_view)>& deviceValue);

} // namespace qav::cli
