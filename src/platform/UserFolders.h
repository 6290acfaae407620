#pragma once
// Where a user's own data lives, and the local time, as the system keeps
// them. Any thread.
#include <ctime>
#include <string>

namespace qav {

// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else
// $HOME/.local/share; on Windows %LOCALAPPDATA%. Empty when none is known.
std::string UserDataFolder();
// Why UserDataFolder is empty, in words ("HOME is not set").
std::string UserDataFolderMissing();

// The local calendar time of t.
std::tm LocalTime(std::time_t t);

} // namespace qav
