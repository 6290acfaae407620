#pragma once
// Number reading shared by every INI read and by port-name parsing: the
// rules of C's atol applied to at most the first 19 characters (what fits a
// 20-byte narrow buffer): leading blanks, an optional sign, decimal digits up
// to the first other character, 0 when there are none. Values beyond the
// range of a 64-bit integer saturate instead of overflowing.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qav {

inline constexpr std::size_t kAtolSignificantChars = 19;

std::int64_t ReadAtol(std::string_view text);

} // namespace qav
