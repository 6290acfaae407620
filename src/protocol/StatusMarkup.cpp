#include "protocol/StatusMarkup.h"

#include <array>

namespace qav {
namespace {

constexpr std::string_view kTagStart = "$INK";
constexpr char kTagEnd = '$';
constexpr std::array<std::string_view, 4> kColours = {"black", "blue", "red", "green"};

bool IsColourName(std::string_view name)
{
    for (std::string_view c : kColours)
        if (c == name)
            return true;
    return false;
}

} // namespace

std::vector<MarkupRun> SplitStatusMarkup(std::string_view message)
{
    std::vector<MarkupRun> runs;
    std::string_view colour = kColours[0];
    for (;;) {
        const std::size_t tag = message.find(kTagStart);
        const std::string_view part = message.substr(0, tag);
        if (!part.empty())
            runs.push_back({part, colour});
        if (tag == std::string_view::npos)
            break;
        const std::size_t nameStart = tag + kTagStart.size();
        const std::size_t close = message.find(kTagEnd, nameStart);
        if (close == std::string_view::npos)
            break;
        const std::string_view name = message.substr(nameStart, close - nameStart);
        if (IsColourName(name))
            colour = name;
        message.remove_prefix(close + 1);
    }
    return runs;
}

std::string StatusPlainText(std::string_view message)
{
    std::string plain;
    for (const MarkupRun& run : SplitStatusMarkup(message))
        plain += run.text;
    return plain;
}

} // namespace qav
