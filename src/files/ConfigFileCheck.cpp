#include "files/ConfigFileCheck.h"

#include "platform/IniFile.h"

#include <algorithm>
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

std::vector<std::string> UnknownKeys(const IniDocument& doc, std::string_view section,
                                     std::span<const ConfigKeyRange> keys, std::span<const std::string_view> alsoKnown)
{
    std::vector<std::string> unknown;
    for (const std::string& name : doc.Keys(section)) {
        const auto same = [&](std::string_view other) { return SameIniName(name, other); };
        const bool known =
            std::any_of(keys.begin(), keys.end(), [&](const ConfigKeyRange& k) { return same(k.key); }) ||
            std::any_of(alsoKnown.begin(), alsoKnown.end(), same);
        if (!known && std::none_of(unknown.begin(), unknown.end(), same))
            unknown.push_back(name);
    }
    return unknown;
}

std::optional<std::int64_t> CheckedConfig::ValueOf(std::string_view key) const
{
    for (const ConfigValue& v : values)
        if (v.key == key)
            return v.value;
    return std::nullopt;
}

std::string NothingToLoad(const ConfigLoadReport& found, std::string_view section, std::size_t keysRead)
{
    if (!found.hasSection)
        return "it has no [" + std::string(section) + "] section";
    if (found.missing.size() == keysRead)
        return "its [" + std::string(section) + "] section has none of the keys";
    return {};
}

Result CannotRead(const std::string& path, int error)
{
    // A failure without an errno still fails.
    return Result::Failed(error ? error : EIO, "Cannot read " + path + ": " + IniReadErrorText(error) + ".");
}

Result CannotWrite(const std::string& path, int error)
{
    return Result::Failed(error ? error : EIO, "Cannot write " + path + ": " + IniReadErrorText(error) + ".");
}

Result NoSection(const std::string& path, std::string_view section)
{
    return Result::Failed(EINVAL, path + " has no [" + std::string(section) + "] section.");
}

Result ReadCheckedConfig(const std::string& path, std::string_view section,
                         std::span<const ConfigKeyRange> keys, CheckedConfig& out,
                         std::span<const std::string_view> alsoKnown)
{
    out = {};
    IniDocument doc;
    struct stat st
    {
    };
    // A missing file reads as empty for the private-profile calls; here it
    // is an error like any other unreadable one.
    if (::stat(path.c_str(), &st) != 0 || !doc.Load(path))
        return CannotRead(path, errno);
    if (!doc.HasSection(section))
        return NoSection(path, section);
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
    checked.unknown = UnknownKeys(doc, section, keys, alsoKnown);
    if (!bad.empty()) {
        std::string why = path + " has values its parameters cannot hold: ";
        for (std::size_t i = 0; i < bad.size(); ++i)
            why += (i > 0 ? ", " : "") + bad[i];
        return Result::Failed(EINVAL, why + ".");
    }
    out = std::move(checked);
    return {};
}

std::vector<Crossing> CrossedValues(std::span<const ConfigKeyRange> keys,
                                    const std::function<std::optional<std::int64_t>(std::string_view)>& valueOf)
{
    std::vector<Crossing> out;
    for (const ConfigKeyRange& k : keys) {
        if (k.above.empty())
            continue;
        const auto max = valueOf(k.key), min = valueOf(k.above);
        // Equal limits leave the gimbal no room either.
        if (max && min && *max <= *min)
            out.push_back(Crossing{k.key, k.above, *max, *min});
    }
    return out;
}

std::string CrossingText(const Crossing& c)
{
    return std::string(c.maxKey) + "=" + std::to_string(c.max) + " is not above " + std::string(c.minKey) + "=" +
           std::to_string(c.min);
}

std::vector<std::string> OutsideScreenRanges(const CheckedConfig& checked, std::span<const ConfigKeyRange> keys,
                                             std::string_view device)
{
    std::vector<std::string> out;
    for (const ConfigKeyRange& k : keys) {
        const auto value = checked.ValueOf(k.key);
        if (!value)
            continue;
        const std::string said = std::string(k.key) + "=" + std::to_string(*value);
        const bool listed = std::any_of(k.choices.begin(), k.choices.end(),
                                        [&](const ParamChoice& c) { return c.value == *value; });
        if (k.choices.empty() ? !k.allowed.Contains(*value) : !listed)
            out.push_back(said + " (" + AllowedText(k.allowed, k.choices) + ")");
        else if (HeldValue(*value, k.step) != *value)
            out.push_back(said + ": the " + std::string(device) + " keeps limits in steps of " +
                          std::to_string(k.step) + "; use " + std::to_string(HeldValue(*value, k.step)));
    }
    for (const Crossing& c : CrossedValues(keys, [&](std::string_view key) { return checked.ValueOf(key); }))
        out.push_back(CrossingText(c));
    return out;
}

std::vector<std::string> BeyondWhatTravels(const CheckedConfig& checked, std::span<const ConfigKeyRange> keys)
{
    std::vector<std::string> out;
    for (const ConfigKeyRange& k : keys)
        if (const auto value = checked.ValueOf(k.key); value && !k.carried.Contains(*value))
            out.push_back(std::string(k.key) + "=" + std::to_string(*value) + " (" + AllowedText(k.carried, {}) +
                          ")");
    return out;
}

Result CheckConfigOutput(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? Result{} : CannotWrite(path, errno);
    int error = 0;
    if (S_ISDIR(st.st_mode))
        error = EISDIR;
    else if (!S_ISREG(st.st_mode))
        error = kNotRegularFile;
    else if (st.st_size > static_cast<off_t>(kMaxIniFileSize))
        error = EFBIG;
    return error == 0 ? Result{} : CannotWrite(path, error);
}

} // namespace qav
