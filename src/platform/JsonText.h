#pragma once
// A text as a JSON value: a quoted string with quotes, backslashes and
// control characters escaped (UTF-8 passes as it is), or null for an empty
// text, which the tools print for "not known".
#include <cstdio>
#include <string>
#include <string_view>

namespace qav {

inline std::string JsonText(std::string_view text)
{
    if (text.empty())
        return "null";
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + '"';
}

} // namespace qav
