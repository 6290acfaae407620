#pragma once
// The rules by which the main screen's value boxes are read and written.
// A box's text is looked at only up to its first kMaxBoxChars characters
// (UTF-16 code units). Integers are signed 32-bit and saturate; floats are
// 32-bit. Reading fails (empty optional) when the text is not a number, and
// a result of zero is only accepted when the first non-blank character is
// "0", so "", "-", "+0" and "-0" all fail. Formatting does not depend on the
// process locale.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qav {

inline constexpr std::size_t kMaxBoxChars = 31;

// Optional blanks and tabs, an optional sign, decimal digits, optional
// blanks and tabs; nothing else.
std::optional<std::int32_t> ParseBoxInt(std::u16string_view text);

// Optional blanks and tabs, then a decimal floating-point number (sign,
// digits, fraction, exponent), then optional blanks and tabs. A number
// beyond the 32-bit float range is refused rather than turned into infinity.
std::optional<float> ParseBoxFloat(std::u16string_view text);

// "%d".
std::string FormatBoxInt(std::int32_t value);
// "%.*g" with precision 6: at most six significant digits.
std::string FormatBoxFloat(float value);

} // namespace qav
