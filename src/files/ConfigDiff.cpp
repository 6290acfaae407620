#include "files/ConfigDiff.h"

#include "files/ControllerConfigFile.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace qav {

std::vector<ConfigDifference> DiffEntries(const std::vector<IniEntry>& a, const std::vector<IniEntry>& b,
                                          std::span<const ConfigKeyRange> keys)
{
    std::vector<ConfigDifference> out;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const bool read =
            std::any_of(keys.begin(), keys.end(), [&](const ConfigKeyRange& k) { return k.key == a[i].key; });
        if (read && a[i].value != b[i].value)
            out.push_back({a[i].key, a[i].value, b[i].value});
    }
    return out;
}

std::vector<ConfigDifference> DiffControllerParams(const ControllerParams& a, const ControllerParams& b)
{
    static const std::vector<ConfigKeyRange> keys = ControllerConfigKeyRanges();
    return DiffEntries(ControllerConfigEntries(a), ControllerConfigEntries(b), keys);
}

bool CheckFileForDiff(const std::string& path, std::string_view section, std::span<const ConfigKeyRange> keys,
                      std::vector<std::string>& missing, std::string& why)
{
    missing.clear();
    // A missing file would read as an empty one.
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        why = "Cannot read " + path + ": " + IniReadErrorText(ENOENT) + ".";
        return false;
    }
    IniDocument doc;
    errno = 0;
    if (!doc.Load(path)) {
        why = "Cannot read " + path + ": " + IniReadErrorText(errno) + ".";
        return false;
    }
    if (!doc.HasSection(section)) {
        why = path + " has no [" + std::string(section) + "] section.";
        return false;
    }
    std::string value;
    for (const ConfigKeyRange& k : keys)
        if (!doc.Find(section, k.key, value))
            missing.emplace_back(k.key);
    return true;
}

bool LoadControllerConfigForDiff(const std::string& path, LoadedControllerConfig& out, std::string& why)
{
    out = {};
    const std::vector<ConfigKeyRange> keys = ControllerConfigKeyRanges();
    if (!CheckFileForDiff(path, kControllerConfigSection, keys, out.missing, why))
        return false;
    bool hasSection = false;
    if (!LoadControllerConfig(path, out.params, &hasSection) || !hasSection) {
        why = "Cannot read " + path + ": " + IniReadErrorText(errno) + ".";
        return false;
    }
    return true;
}

} // namespace qav
