#include "files/ConfigDiff.h"

#include "files/ControllerConfigFile.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace qav {
namespace {

bool IsLoadKey(const std::string& key)
{
    static const std::vector<ConfigKeyRange> keys = ControllerConfigKeyRanges();
    return std::any_of(keys.begin(), keys.end(), [&](const ConfigKeyRange& k) { return k.key == key; });
}

} // namespace

std::vector<ConfigDifference> DiffControllerParams(const ControllerParams& a, const ControllerParams& b)
{
    const std::vector<IniEntry> left = ControllerConfigEntries(a);
    const std::vector<IniEntry> right = ControllerConfigEntries(b);
    std::vector<ConfigDifference> out;
    for (std::size_t i = 0; i < left.size() && i < right.size(); ++i)
        if (IsLoadKey(left[i].key) && left[i].value != right[i].value)
            out.push_back({left[i].key, left[i].value, right[i].value});
    return out;
}

bool LoadControllerConfigForDiff(const std::string& path, LoadedControllerConfig& out, std::string& why)
{
    out = {};
    IniDocument doc;
    // A missing file would read as an empty one.
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        why = "Cannot read " + path + ": " + IniReadErrorText(ENOENT) + ".";
        return false;
    }
    errno = 0;
    if (!doc.Load(path)) {
        why = "Cannot read " + path + ": " + IniReadErrorText(errno) + ".";
        return false;
    }
    if (!doc.HasSection(kControllerConfigSection)) {
        why = path + " has no [" + std::string(kControllerConfigSection) + "] section.";
        return false;
    }
    bool hasSection = false;
    if (!LoadControllerConfig(path, out.params, &hasSection) || !hasSection) {
        why = "Cannot read " + path + ": " + IniReadErrorText(errno) + ".";
        return false;
    }
    std::string value;
    for (const ConfigKeyRange& k : ControllerConfigKeyRanges())
        if (!doc.Find(kControllerConfigSection, k.key, value))
            out.missing.emplace_back(k.key);
    return true;
}

} // namespace qav
