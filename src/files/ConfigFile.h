#pragma once
// A board's configuration file (board row, boards/Boards.h): one INI
// section, the row's, with one key per parameter of the board's table that
// files carry, each value a decimal integer. Other sections and keys of an
// existing file are kept.
//
// A save writes every key whose parameter is saved (FileUse::ReadWrite and
// WriteOnly) in table order, each as the signed or unsigned number its field
// holds: a controller's motor direction 0xFF goes as -1, a motor board's
// byte as 0 to 255. A load reads the ReadWrite keys only, so a write-only
// key (the pan servo centre) is written but never read. Parameters no file
// carries are neither written nor read.
#include "boards/Boards.h"
#include "files/ConfigFileCheck.h"
#include "platform/Atol.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

// The keys a load reads, in order, each with the values its field can hold,
// what its frame carries and the range the screens enforce: the table for
// ReadCheckedConfig.
std::vector<ConfigKeyRange> ConfigKeyRanges(const BoardRow& board);
// The keys a save writes and a load never reads.
std::vector<std::string_view> ConfigWriteOnlyKeys(const BoardRow& board);

// The entries a save writes, in order, for callers that add entries of their
// own to the same atomic replacement.
template <class S> std::vector<IniEntry> ConfigEntries(const S& params)
{
    const std::string section(BoardOfRecord<S>().section);
    std::vector<IniEntry> entries;
    for (const ParamRow<S>& row : BoardRecord<S>::Table())
        if (row.file != FileUse::None)
            entries.push_back(IniEntry{section, std::string(row.key), std::to_string(GetParam(row, params))});
    return entries;
}

// Writes the entries into `path` in one atomic replacement, creating the
// file when missing.
template <class S> Result SaveConfig(const std::string& path, const S& params)
{
    return WritePrivateProfileStrings(ConfigEntries(params), path);
}

// Reads the keys of a file already read into `params`, each by the atol
// rules, saturated to 32 bits as the atol of the platform the files come
// from, then cut to its parameter's width (the low bits: 70000 gives 4464
// in a 16-bit parameter, 300 gives 44 and -1 gives 255 in a byte). A key
// the file (or its missing section) lacks reads as 0 or keeps its value, by
// `missing`. Every other field of `params` is left alone.
template <class S>
void LoadConfig(const IniDocument& doc, S& params, ConfigLoadReport* report = nullptr,
                MissingKeys missing = MissingKeys::ReadAsZero)
{
    const std::string_view section = BoardOfRecord<S>().section;
    ConfigLoadReport seen;
    seen.hasSection = doc.HasSection(section);
    for (const ParamRow<S>& row : BoardRecord<S>::Table()) {
        if (row.file != FileUse::ReadWrite)
            continue;
        std::string text;
        if (doc.Find(section, row.key, text)) {
            SetParam(row, params,
                     std::clamp<std::int64_t>(ReadAtol(text), std::numeric_limits<std::int32_t>::min(),
                                              std::numeric_limits<std::int32_t>::max()));
            continue;
        }
        seen.missing.push_back(row.key);
        if (missing == MissingKeys::ReadAsZero)
            SetParam(row, params, 0);
    }
    if (report)
        *report = std::move(seen);
}

// The same from `path`. Fails when the file exists but cannot be read; the
// keys are then all missing. A missing file reads as an empty one.
template <class S>
Result LoadConfig(const std::string& path, S& params, ConfigLoadReport* report = nullptr,
                  MissingKeys missing = MissingKeys::ReadAsZero)
{
    IniDocument doc;
    const bool readable = doc.Load(path);
    const Result result = readable ? Result{} : Result::Failed(errno, IniReadErrorText(errno));
    LoadConfig(doc, params, report, missing);
    return result;
}

// Puts the values of a checked file into `params`; parameters whose key the
// file lacks, and those a load does not read, keep their values.
template <class S> void ApplyConfig(const CheckedConfig& checked, S& params)
{
    for (const ConfigValue& v : checked.values)
        if (const ParamRow<S>* row = BoardRecord<S>::Find(v.key); row && row->file == FileUse::ReadWrite)
            SetParam(*row, params, v.value);
}

// The value of `key`, a parameter of the board's table.
template <class S> std::int64_t ConfigValueOf(std::string_view key, const S& params)
{
    return GetParam(*BoardRecord<S>::Find(key), params);
}

} // namespace qav
