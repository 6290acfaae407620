#include "files/ConfigFileCheck.h"

#include "platform/IniFile.h"
#include "platform/ShownText.h"

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
    CheckedConfig checked;
    for (const ConfigKeyRange& k : keys) {
        std::string text;
        if (!doc.Find(section, k.key, text)) {
            checked.missing.push_back(k.key);
            continue;
        }
        std::int64_t value = 0;
        const std::string said = std::string(k.key) + "=" + EscapedText(text);
        if (!ParseWholeNumber(text, value))
            checked.unheld.push_back(said + " (not a whole number)");
        else if (value < k.min || value > k.max)
            checked.unheld.push_back(said + " (" + std::to_string(k.min) + " to " + std::to_string(k.max) + ")");
        else
            checked.values.push_back(ConfigValue{k.key, value});
    }
    checked.unknown = UnknownKeys(doc, section, keys, alsoKnown);
    out = std::move(checked);
    if (!out.unheld.empty()) {
        std::string why = path + " has values its parameters cannot hold: ";
        for (std::size_t i = 0; i < out.unheld.size(); ++i)
            why += (i > 0 ? ", " : "") + out.unheld[i];
        return Result::Failed(EINVAL, why + ".");
    }
    return {};
}

namespace {

char Folded(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Edits from `a` to `b`: letters added, dropped or changed, and two
// neighbours swapped (the optimal string alignment distance), case aside.
std::size_t EditDistance(std::string_view a, std::string_view b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = Folded(a[i - 1]) == Folded(b[j - 1]);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && Folded(a[i - 1]) == Folded(b[j - 2]) && Folded(a[i - 2]) == Folded(b[j - 1]))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

} // namespace

std::string_view NearestKey(std::string_view name, std::span<const ConfigKeyRange> keys)
{
    // A name far longer than any key is no slip of the hand, and would cost
    // a table of its length times the key's.
    constexpr std::size_t kLongest = 64;
    if (name.empty() || name.size() > kLongest)
        return {};
    const std::size_t most = name.size() <= 7 ? 1 : name.size() <= 11 ? 2 : 3;
    std::string_view nearest;
    std::size_t best = most + 1;
    for (const ConfigKeyRange& k : keys)
        if (const std::size_t d = EditDistance(name, k.key); d < best) {
            best = d;
            nearest = k.key;
        }
    return nearest;
}

std::string DidYouMean(std::string_view name, std::span<const ConfigKeyRange> keys)
{
    const std::string_view nearest = NearestKey(name, keys);
    if (nearest.empty())
        return {};
    return EscapedText(name) + ": did you mean " + std::string(nearest) + "?";
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
    else if (const Result writable = CheckWritable(path); !writable)
        error = writable.code;
    return error == 0 ? Result{} : CannotWrite(path, error);
}

} // namespace qav
