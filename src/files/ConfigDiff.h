#pragma once
// Comparing a board's parameter sets key by key, as configuration files
// carry them: the keys a load reads, each value as the load puts it into
// the set and a save writes it back ("0300" and "300" are the same value, and
// so are -1 and 255 for a motor direction). A key a file lacks has no value:
// a load keeps what was there.
#include "files/ConfigFile.h"
#include "files/ConfigFileCheck.h"
#include "platform/IniFile.h"
#include "protocol/ControllerProtocol.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

struct ConfigDifference
{
    std::string key;
    std::string a, b; // values as a save writes them
};

// The entries two sets save as, compared over the keys a load reads: the
// keys whose values differ, in file order.
std::vector<ConfigDifference> DiffEntries(const std::vector<IniEntry>& a, const std::vector<IniEntry>& b,
                                          std::span<const ConfigKeyRange> keys);
// The same for two sets of one board.
template <class S> std::vector<ConfigDifference> DiffParams(const S& a, const S& b)
{
    static const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(BoardOfRecord<S>());
    return DiffEntries(ConfigEntries(a), ConfigEntries(b), keys);
}

// What loading `loaded` changes against a controller that holds `board`:
// the keys whose values would differ afterwards, with the values as
// `loaded` has them. Judged by what the controller will hold: an odd angle
// limit travels halved, so a file's 45 changes nothing on a controller
// holding 44.
std::vector<ConfigDifference> DiffControllerUpload(const ControllerParams& board,
                                                   const ControllerParams& loaded);

// What a file lacks shows as.
inline constexpr const char* kMissingValue = "(missing)";

// Two files compared: a key only one of them has differs, its missing side
// shown as "(missing)"; a key both lack does not. The entries are those the
// files load as, the missing lists the keys each lacks.
std::vector<ConfigDifference> DiffFileEntries(const std::vector<IniEntry>& a, const std::vector<IniEntry>& b,
                                              std::span<const ConfigKeyRange> keys,
                                              const std::vector<std::string>& missingA,
                                              const std::vector<std::string>& missingB);

// Whether `path` can be compared as a file of `section`: it exists, is
// readable and has the section. Fills `missing` with the keys it lacks and
// `unknown`, when given, with those of its section that are no parameter
// (nor in `alsoKnown`); a failure's message is one sentence. `doc`, when
// given, receives the file as read, so that it is read once.
Result CheckFileForDiff(const std::string& path, std::string_view section,
                        std::span<const ConfigKeyRange> keys, std::vector<std::string>& missing,
                        std::vector<std::string>* unknown = nullptr,
                        std::span<const std::string_view> alsoKnown = {}, IniDocument* doc = nullptr);

// A board's configuration file read by the load rules, and the keys it
// lacks (read as 0 here; compare with DiffFileEntries).
template <class S> struct LoadedConfig
{
    S params;
    std::vector<std::string> missing;
    std::vector<std::string> unknown;
};

// Fails with one sentence when the file cannot be read or has no section of
// its board (it would load as all zeros).
template <class S> Result LoadConfigForDiff(const std::string& path, LoadedConfig<S>& out)
{
    out = {};
    const BoardRow& board = BoardOfRecord<S>();
    const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(board);
    IniDocument doc;
    if (Result r = CheckFileForDiff(path, board.section, keys, out.missing, &out.unknown,
                                    ConfigWriteOnlyKeys(board), &doc);
        !r)
        return r;
    LoadConfig(doc, out.params);
    return {};
}

} // namespace qav
