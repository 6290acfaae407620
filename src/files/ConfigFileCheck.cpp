#include "files/ConfigFileCheck.h"

#include "platform/IniFile.h"

#include <cerrno>
#include <charconv>
#include <limits>
#include <sys/stat.h>

namespace qav {
namespace {

// Optional sign and decimal digits, nothing else: a file that says "12abc"
// or "1.5" was not written by this tool and is not guessed at.
bool ParseWholeNumber(std::string_view text, std::int64_t& value)
{
    const bool plus = !text.empty() && text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || (plus && (text.front() < '0' || text.front() > '9')))
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size())
        return false;
    // Digits beyond 64 bits are still a whole number, just one no field holds.
    if (ec == std::errc::result_out_of_range)
        value = text.front() == '-' ? std::numeric_limits<std::int64_t>::min()
                                    : std::numeric_limits<std::int64_t>::max();
    return ec == std::errc() || ec == std::errc::result_out_of_range;
}

} // namespace

std::string JoinKeys(const std::vector<std::string_view>& keys)
{
    std::string text;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i > 0)
            text += i + 1 == keys.size() ? " and " : ", ";
        text += keys[i];
    }
    return text;
}

bool ReadCheckedConfig(const std::string& path, std::string_view section,
                       std::span<const ConfigKeyRange> keys, CheckedConfig& out, std::string& why)
{
    out = {};
    IniDocument doc;
    struct stat st
    {
    };
    // A missing file reads as empty for the private-profile calls; here it
    // is an error like any other unreadable one.
    if (::stat(path.c_str(), &st) != 0 || !doc.Load(path)) {
        why = "Cannot read " + path + ": " + IniReadErrorText(errno) + ".";
        return false;
    }
    if (!doc.HasSection(section)) {
        why = path + " has no [" + std::string(section) + "] section.";
        return false;
    }
    std::vector<std::string> bad;
    CheckedConfig checked;
    for (const ConfigKeyRange& k : keys) {
        std::string text;
        if (!doc.Find(section, k.key, text)) {
            checked.missing.push_back(k.key);
            continue;
        }
        std::int64_t value = 0;
        if (!ParseWholeNumber(text, value))
            bad.push_back(std::string(k.key) + "=" + text + " (not a whole number)");
        else if (value < k.min || value > k.max)
            bad.push_back(std::string(k.key) + "=" + text + " (" + std::to_string(k.min) + " to " +
                          std::to_string(k.max) + ")");
        else
            checked.values.push_back(ConfigValue{k.key, value});
    }
    if (!bad.empty()) {
        why = path + " has values its parameters cannot hold: ";
        for (std::size_t i = 0; i < bad.size(); ++i)
            why += (i > 0 ? ", " : "") + bad[i];
        why += ".";
        return false;
    }
    out = std::move(checked);
    return true;
}

bool CheckConfigOutput(const std::string& path, std::string& why)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        why = "Cannot write " + path + ": " + IniReadErrorText(errno) + ".";
        return false;
    }
    int error = 0;
    if (S_ISDIR(st.st_mode))
        error = EISDIR;
    else if (!S_ISREG(st.st_mode))
        error = kNotRegularFile;
    else if (st.st_size > static_cast<off_t>(kMaxIniFileSize))
        error = EFBIG;
    if (error == 0)
        return true;
    why = "Cannot write " + path + ": " + IniReadErrorText(error) + ".";
    return false;
}

} // namespace qav
