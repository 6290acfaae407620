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
// (a misspelt key must not pass unseen); nothing when there are none.
void SayIgnoredKeys(const std::string& file, const std::vector<std::string>& unknown, std::ostream& err);

// Says on `err` which keys of `checked` are ignored, then checks its values
// for `device` ("controller", "motor board"). Returns kExitOk, or the exit
// code after saying why nothing is sent.
int CheckBeforeSending(const std::string& file, const CheckedConfig& checked, std::span<const ConfigKeyRange> keys,
                       std::string_view device, bool allowOutOfRange, std::ostream& err);

// The crossed limits a file's values make with the values a board keeps for
// the keys the file lacks: one sentence for the refusal, or empty.
std::string CrossedWithKeptValues(const std::string& file, const CheckedConfig& checked,
                                  std::span<const ConfigKeyRange> keys, std::string_view device,
                                  const std::function<std::int64_t(std::string_view)>& deviceValue);

// The ranges `write` holds values to, both boards, for its help text.
std::string WriteRangesHelp();

} // namespace qav::cli
