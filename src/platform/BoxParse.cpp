#include "platform/BoxParse.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>


namespace qav {
namespace {

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}
bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

std::u16string_view Considered(std::u16string_view text)
{
    return text.substr(0, kMaxBoxChars);
}

std::size_t SkipBlanks(std::u16string_view s, std::size_t i)
{
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return i;
}

// Only blanks and tabs may follow the number.
bool OnlyBlanksFrom(std::u16string_view s, std::size_t i)
{
    return SkipBlanks(s, i) == s.size();
}

// The zero rule: a zero result is only believed when the text starts with
// "0" (after blanks); otherwise it is what an unreadable text gives.
bool ZeroAllowed(std::u16string_view s, std::size_t firstNonBlank)
{
    return firstNonBlank < s.size() && s[firstNonBlank] == u'0';
}

} // namespace

std::optional<std::int32_t> ParseBoxInt(std::u16string_view text)
{
    const std::u16string_view s = Considered(text);
    const std::size_t start = SkipBlanks(s, 0);
    std::size_t i = start;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    // Like strtol: a sign without digits reads nothing at all.
    std::size_t end = start;
    std::int64_t magnitude = 0;
    constexpr std::int64_t kCap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    if (i < s.size() && IsDigit(s[i])) {
        while (i < s.size() && IsDigit(s[i])) {
            magnitude = magnitude * 10 + (s[i] - u'0');
            if (magnitude > kCap)
                magnitude = kCap; // saturate; at most 31 digits anyway
            ++i;
        }
        end = i;
    }
    if (!OnlyBlanksFrom(s, end))
        return std::nullopt;
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max())
        value = std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        value = std::numeric_limits<std::int32_t>::min();
    if (value == 0 && !ZeroAllowed(s, start))
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<float> ParseBoxFloat(std::u16string_view text)
{
    const std::u16string_view s = Considered(text);
    const std::size_t start = SkipBlanks(s, 0);

    // Find the longest prefix that is a decimal number, as strtod would, and
    // copy it as ASCII; hexadecimal, "inf" and "nan" are not numbers here.
    std::string ascii;
    std::size_t i = start;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        if (s[i] == u'-')
            ascii.push_back('-');
        ++i;
    }
    std::size_t mantissaDigits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ascii.push_back(static_cast<char>(s[i++]));
        ++mantissaDigits;
    }
    if (i < s.size() && s[i] == u'.') {
        ascii.push_back('.');
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ascii.push_back(static_cast<char>(s[i++]));
            ++mantissaDigits;
        }
    }
    std::size_t end = start; // nothing read unless there was a digit
    double value = 0;
    if (mantissaDigits > 0) {
        end = i;
        // An exponent counts only when digits follow its optional sign.
        if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
            std::size_t j = i + 1;
            std::string exponent = "e";
            if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) {
                if (s[j] == u'-')
                    exponent.push_back('-');
                ++j;
            }
            if (j < s.size() && IsDigit(s[j])) {
                while (j < s.size() && IsDigit(s[j]))
                    exponent.push_back(static_cast<char>(s[j++]));
                ascii += exponent;
                end = j;
            }
        }
        // The text is checked to be plain decimal by now; from_chars reads
        // it whatever the user's locale says about commas. Beyond the range
        // of a double it reads as strtod would: too small is 0, too large is
        // infinite (and refused below).
        const auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
        if (ec == std::errc::result_out_of_range) {
            const bool tiny = ascii.find("e-") != std::string::npos;
            value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        }
    }
    if (!OnlyBlanksFrom(s, end))
        return std::nullopt;
    if (value == 0 && !ZeroAllowed(s, start))
        return std::nullopt;
    if (std::fabs(value) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(value);
}

std::string FormatBoxInt(std::int32_t value)
{
    return std::to_string(value);
}

std::string FormatBoxFloat(float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

} // namespace qav
