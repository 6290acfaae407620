#include "platform/ShownText.h"

#include <algorithm>
#include <cstdio>

namespace qav {

std::string EscapedText(std::string_view text, std::string_view alsoEscaped)
{
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && c != '\\' && alsoEscaped.find(c) == std::string_view::npos) {
            shown += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            shown += hex;
        }
    }
    return shown;
}

std::string QuotedBytes(std::string_view bytes, std::size_t most)
{
    return "\"" + EscapedText(bytes.substr(0, std::min(most, bytes.size())), "\"") +
           (bytes.size() > most ? "\"..." : "\"");
}

} // namespace qav
