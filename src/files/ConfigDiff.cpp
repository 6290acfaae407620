#include "files/ConfigDiff.h"

#include "files/ConfigFile.h"
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

std::vector<ConfigDifference> DiffFileEntries(const std::vector<IniEntry>& a, const std::vector<IniEntry>& b,
                                              std::span<const ConfigKeyRange> keys,
                                              const std::vector<std::string>& missingA,
                                              const std::vector<std::string>& missingB)
{
    const auto lacks = [](const std::vector<std::string>& missing, const std::string& key) {
        return std::find(missing.begin(), missing.end(), key) != missing.end();
    };
    std::vector<ConfigDifference> out;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const std::string& key = a[i].key;
        const bool read =
            std::any_of(keys.begin(), keys.end(), [&](const ConfigKeyRange& k) { return k.key == key; });
        const bool lackA = lacks(missingA, key), lackB = lacks(missingB, key);
        if (!read || (lackA && lackB))
            continue;
        if (lackA || lackB || a[i].value != b[i].value)
            out.push_back({key, lackA ? kMissingValue : a[i].value, lackB ? kMissingValue : b[i].value});
    }
    return out;
}

std::vector<ConfigDifference> DiffControllerUpload(const ControllerParams& board,
                                                   const ControllerParams& loaded)
{
    // Values that never travel in an upload count as the set holds them.
    ControllerParams held = loaded;
    for (std::uint8_t type = kTypeGains; type <= kTypePan; ++type) {
        Frame frame{};
        EncodeUploadPayload(type, loaded, frame);
        ApplyUploadPayload(frame, held);
    }
    const std::vector<ConfigDifference> heldChanges = DiffParams(board, held);
    std::vector<ConfigDifference> out;
    for (ConfigDifference& d : DiffParams(board, loaded))
        if (std::any_of(heldChanges.begin(), heldChanges.end(),
                        [&](const ConfigDifference& h) { return h.key == d.key; }))
            out.push_back(std::move(d));
    return out;
}

Result CheckFileForDiff(const std::string& path, std::string_view section,
                        std::span<const ConfigKeyRange> keys, std::vector<std::string>& missing,
                        std::vector<std::string>* unknown, std::span<const std::string_view> alsoKnown,
                        IniDocument* read)
{
    missing.clear();
    // A missing file would read as an empty one.
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return CannotRead(path, ENOENT);
    IniDocument local;
    IniDocument& doc = read ? *read : local;
    errno = 0;
    if (!doc.Load(path))
        return CannotRead(path, errno);
    if (!doc.HasSection(section))
        return NoSection(path, section);
    std::string value;
    for (const ConfigKeyRange& k : keys)
        if (!doc.Find(section, k.key, value))
            missing.emplace_back(k.key);
    if (unknown)
        *unknown = UnknownKeys(doc, section, keys, alsoKnown);
    return {};
}

} // namespace qav
