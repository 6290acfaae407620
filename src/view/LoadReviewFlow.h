#pragma once
// How both screens load a configuration file onto their board: read it over
// a copy of the set on screen, refuse a file with nothing to load, show
// the review before it reaches a connected board (what it changes, what it
// lacks, what it has that is no parameter), read it again after, and keep
// the board's own set as a backup before the file replaces it. Each screen
// then puts the set on its form and sends it. GUI thread only.
#include "files/Backups.h"
#include "files/ConfigDiff.h"
#include "files/ConfigFile.h"
#include "files/ParamReference.h"

#include <QString>

#include <span>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace qav {

class IPrompts;

struct PendingLoad
{
    QString path;
    QString board; // "controller", "motor board"
    std::string_view section;
    std::span<const ConfigKeyRange> keys;        // those a load reads
    std::span<const std::string_view> alsoKnown; // saved but never loaded: not unknown
    std::vector<ConfigDifference> changes;       // the set before and after, as a save writes them
    std::span<const ParamFacts> facts;           // the board's reference
    std::vector<std::string_view> missing;       // keys the file lacks
};

// True when the user applies the file. A file that changes nothing says so
// in a message box and gives false: there is nothing to send.
bool ConfirmLoad(IPrompts& prompts, QWidget* owner, const PendingLoad& load);

// What a load of the board's set S changes against the board's own set.
template <class S> using LoadChanges = std::vector<ConfigDifference> (*)(const S& board, const S& loaded);

namespace load_flow {
std::string LocalPath(const QString& path);
QString Utf8(std::string_view s);
// False after saying in a box why `path` has nothing to load: the read
// failed, or it has no key of the board's section.
bool Loadable(IPrompts& prompts, QWidget* owner, const QString& path, const Result& loaded,
              const ConfigLoadReport& found, const BoardRow& board);
// " 3 values changed." and, when `saved` (the backup's folder) is given,
// " Previous set kept in ~/...". A backup that failed asks whether to load
// all the same: false when not.
bool Saved(IPrompts& prompts, QWidget* owner, const QString& path, const Result& result);
bool CountAndKeep(IPrompts& prompts, QWidget* owner, std::size_t changed, const std::string* folder,
                  const Result& saved, const BoardRow& board, QString& report);
} // namespace load_flow

// Reads `path` into `read`, a copy of `held`: a file that is there but
// cannot be read must not change the set, and a key the file lacks keeps
// the value on screen (a partial file must never zero a board).
template <class S>
bool ReadForLoad(IPrompts& prompts, QWidget* owner, const QString& path, const S& held, S& read,
                 ConfigLoadReport& found)
{
    read = held;
    found = {};
    const Result loaded = LoadConfig(load_flow::LocalPath(path), read, &found, MissingKeys::KeepValues);
    return load_flow::Loadable(prompts, owner, path, loaded, found, BoardOfRecord<S>());
}

// Reads `path` for a load onto a screen that holds `held`. With `board` (a
// board is connected: its own set) the user first sees what the file
// changes in it, by `changes`; the file is then read again, since the link
// ran on while the review was up and the keys the file lacks keep the
// values held now. True, with `read` and `found`, when the file is to be
// applied.
template <class S>
bool ReadReviewedFile(IPrompts& prompts, QWidget* owner, const QString& path, const S& held, const S* board,
                      LoadChanges<S> changes, S& read, ConfigLoadReport& found)
{
    if (!ReadForLoad(prompts, owner, path, held, read, found))
        return false;
    if (!board)
        return true;
    const BoardRow& row = BoardOfRecord<S>();
    static const std::vector<ParamFacts> facts = ReferenceOf<S>();
    static const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(row);
    static const std::vector<std::string_view> writeOnly = ConfigWriteOnlyKeys(row);
    if (!ConfirmLoad(prompts, owner,
                     {path, load_flow::Utf8(row.device), row.section, keys, writeOnly, changes(*board, read),
                      facts, found.missing}))
        return false;
    return ReadForLoad(prompts, owner, path, held, read, found);
}

// Counts what loading `loaded` changes in the board's own set `board` into
// `report` and, with `folder` (a board is connected and backups have a
// place), keeps `board` there first, named after `port`. The changes are
// counted from the board's set: a value typed and not sent is none of the
// board's, and a backup of it would restore a value the board never had.
// False when the backup failed and the user would rather not load.
template <class S>
bool BackupBeforeLoad(IPrompts& prompts, QWidget* owner, const S& board, const S& loaded,
                      LoadChanges<S> changes, const std::string* folder, std::string_view port,
                      QString& report)
{
    std::string path;
    const Result saved = folder ? BackupParams(*folder, board, port, path) : Result{};
    return load_flow::CountAndKeep(prompts, owner, changes(board, loaded).size(), folder, saved,
                                   BoardOfRecord<S>(), report);
}

// Saves `params` into `path`: false after saying in a box why it failed
// (status messages are dropped while no board is connected, and a save
// fails mostly then).
template <class S> bool SaveForScreen(IPrompts& prompts, QWidget* owner, const QString& path, const S& params)
{
    const Result result = SaveConfig(load_flow::LocalPath(path), params);
    return load_flow::Saved(prompts, owner, path, result);
}

} // namespace qav
