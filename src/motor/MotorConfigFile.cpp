#include "motor/MotorConfigFile.h"

#include "motor/MotorParamTable.h"
#include "platform/Atol.h"

#include <algorithm>
#include <cerrno>
#include <limits>

namespace qav {

std::vector<IniEntry> MotorConfigEntries(const MotorParams& params)
{
    std::vector<IniEntry> entries;
    for (const MotorParamRow& row : MotorParamTable())
        if (row.file != FileUse::None)
            entries.push_back(IniEntry{std::string(kMotorConfigSection), std::string(row.key),
                                       std::to_string(GetParam(row, params))});
    return entries;
}

Result SaveMotorConfig(const std::string& path, const MotorParams& params)
{
    return WritePrivateProfileStrings(MotorConfigEntries(params), path);
}

Result LoadMotorConfig(const std::string& path, MotorParams& params, ConfigLoadReport* report, MissingKeys missing)
{
    IniDocument doc;
    const bool readable = doc.Load(path);
    const Result result = readable ? Result{} : Result::Failed(errno, IniReadErrorText(errno));
    LoadMotorConfig(doc, params, report, missing);
    return result;
}

void LoadMotorConfig(const IniDocument& doc, MotorParams& params, ConfigLoadReport* report, MissingKeys missing)
{
    ConfigLoadReport seen;
    seen.hasSection = doc.HasSection(kMotorConfigSection);
    for (const MotorParamRow& row : MotorParamTable()) {
        if (row.file != FileUse::ReadWrite)
            continue;
        std::string text;
        if (!doc.Find(kMotorConfigSection, row.key, text)) {
            seen.missing.push_back(row.key);
            if (missing == MissingKeys::ReadAsZero)
                SetParam(row, params, 0);
            continue;
        }
        // The 32-bit long of the platform the files come from saturates;
        // only then is the number cut to a byte.
        SetParam(row, params,
                 std::clamp<std::int64_t>(ReadAtol(text), std::numeric_limits<std::int32_t>::min(),
                                          std::numeric_limits<std::int32_t>::max()));
    }
    if (report)
        *report = std::move(seen);
}

std::vector<ConfigKeyRange> MotorConfigKeyRanges()
{
    std::vector<ConfigKeyRange> ranges;
    for (const MotorParamRow& row : MotorParamTable())
        if (row.file == FileUse::ReadWrite)
            ranges.push_back(KeyRangeOf(row, MotorWireForm(row)));
    return ranges;
}

void ApplyMotorConfig(const CheckedConfig& checked, MotorParams& params)
{
    for (const ConfigValue& v : checked.values)
        if (const MotorParamRow* row = FindMotorParam(v.key); row && row->file == FileUse::ReadWrite)
            SetParam(*row, params, v.value);
}

} // namespace qav
