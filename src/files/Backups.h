#pragma once
// Backups of a device's parameter set, taken before a tool changes it from
// a file: one timestamped file per backup in one folder, the newest
// kBackupsKept of each kind kept.
//
// Names sort by time: "2026-12-08_11-25-00.123_COM3.bgsc" (local time,
// milliseconds, then the port). Only names of that form are ever pruned,
// so other files in the folder are safe.
#include "files/ConfigFile.h"
#include "platform/IniFile.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace qav {

inline constexpr int kBackupsKept = 50;

// qav-nuva/backups in the user's data folder (platform/UserFolders.h):
// $XDG_DATA_HOME/qav-nuva/backups when XDG_DATA_HOME is an absolute path,
// else $HOME/.local/share/qav-nuva/backups; on Windows
// %LOCALAPPDATA%\qav-nuva\backups. Empty when none is known.
std::string DefaultBackupFolder();

// Creates `folder` (private to the user) when missing, writes a new backup
// named from `now`, `port` and `extension` with `write`, then prunes the
// oldest backups of that extension beyond kBackupsKept. Sets `path` to the
// file written; a failure's message is one sentence.
Result WriteBackup(const std::string& folder, std::string_view extension, std::string_view port,
                   const std::function<Result(const std::string& path)>& write, std::string& path,
                   std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

// A board's set as its configuration file, with its row's backup extension.
template <class S>
Result BackupParams(const std::string& folder, const S& params, std::string_view port, std::string& path,
                    std::chrono::system_clock::time_point now = std::chrono::system_clock::now())
{
    return WriteBackup(
        folder, BackupExtension(BoardOfRecord<S>()), port,
        [&](const std::string& file) { return SaveConfig(file, params); }, path, now);
}

// Deletes the oldest backups with `extension` in `folder` so that `keep`
// remain.
void PruneBackups(const std::string& folder, std::string_view extension, int keep);

// `path` with the home folder written as "~", for messages.
std::string ShortenHome(const std::string& path);

} // namespace qav
