#pragma once
// Bytes from a file, shown on a terminal or in a message: what a file holds
// must never reach the terminal raw (an escape sequence would drive it, a NUL
// or a byte of another encoding would garble the line).
#include <cstddef>
#include <string>
#include <string_view>

namespace qav {

// Printable ASCII as it is; every other byte, the backslash and the bytes of
// `alsoEscaped` as \xHH.
std::string EscapedText(std::string_view text, std::string_view alsoEscaped = {});

// The first `most` bytes in double quotes, escaped as above (quotes too),
// with "..." after the closing quote when there were more.
std::string QuotedBytes(std::string_view bytes, std::size_t most);

} // namespace qav
