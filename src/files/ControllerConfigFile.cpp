#include "files/ControllerConfigFile.h"

#include "platform/Atol.h"
#include "protocol/ControllerParamTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <vector>

namespace qav {
namespace {

// The files come from a platform whose atol yields a 32-bit long that
// saturates on overflow; only then is the number cut to the field's width.
std::int64_t AsLong(std::int64_t v)
{
    return std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max());
}

} // namespace

std::vector<IniEntry> ControllerConfigEntries(const ControllerParams& params)
{
    std::vector<IniEntry> entries;
    for (const ControllerParamRow& row : ControllerParamTable())
        if (row.file != FileUse::None)
            entries.push_back(IniEntry{std::string(kControllerConfigSection), std::string(row.key),
                                       std::to_string(GetParam(row, params))});
    return entries;
}

Result SaveControllerConfig(const std::string& path, const ControllerParams& params)
{
    return WritePrivateProfileStrings(ControllerConfigEntries(params), path);
}

std::vector<ConfigKeyRange> ControllerConfigKeyRanges()
{
    std::vector<ConfigKeyRange> ranges;
    for (const ControllerParamRow& row : ControllerParamTable())
        if (row.file == FileUse::ReadWrite)
            ranges.push_back(KeyRangeOf(row, ControllerWireForm(row)));
    return ranges;
}

std::vector<std::string_view> ControllerConfigWriteOnlyKeys()
{
    std::vector<std::string_view> keys;
    for (const ControllerParamRow& row : ControllerParamTable())
        if (row.file == FileUse::WriteOnly)
            keys.push_back(row.key);
    return keys;
}

void ApplyControllerConfig(const CheckedConfig& checked, ControllerParams& params)
{
    for (const ConfigValue& v : checked.values)
        if (const ControllerParamRow* row = FindControllerParam(v.key); row && row->file == FileUse::ReadWrite)
            SetParam(*row, params, v.value);
}

Result LoadControllerConfig(const std::string& path, ControllerParams& params, ConfigLoadReport* report,
                            MissingKeys missing)
{
    IniDocument doc;
    const bool readable = doc.Load(path);
    const Result result = readable ? Result{} : Result::Failed(errno, IniReadErrorText(errno));
    LoadControllerConfig(doc, params, report, missing);
    return result;
}

void LoadControllerConfig(const IniDocument& doc, ControllerParams& params, ConfigLoadReport* report,
                          MissingKeys missing)
{
    ConfigLoadReport seen;
    seen.hasSection = doc.HasSection(kControllerConfigSection);
    for (const ControllerParamRow& row : ControllerParamTable()) {
        if (row.file != FileUse::ReadWrite)
            continue;
        std::string text;
        if (doc.Find(kControllerConfigSection, row.key, text)) {
            SetParam(row, params, AsLong(ReadAtol(text)));
            continue;
        }
        seen.missing.push_back(row.key);
        if (missing == MissingKeys::ReadAsZero)
            SetParam(row, params, 0);
    }
    if (report)
        *report = std::move(seen);
}

} // namespace qav
