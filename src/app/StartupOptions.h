#pragma once
// The options of qav-nuva, read before any window system is needed. Qt's
// own options (-platform, -style, ...) are let through to QApplication;
// anything else that looks like an option, or an option without its value,
// is a fault: the program says so on stderr and exits with kBadOptionExit.
#include "platform/Result.h"

#include <optional>
#include <string>
#include <vector>

namespace qav {

inline constexpr int kBadOptionExit = 2;

struct StartupOptions
{
    bool version = false;
    bool help = false;
    std::optional<int> connect; // --connect COM<n>: that port opened at start
    bool plots = false;
};

// `args` as main has them, the program's name first. A failure's message is
// a sentence ("unknown option --bogus (try --help)", "--connect needs a
// value").
Result ParseStartupOptions(const std::vector<std::string>& args, StartupOptions& out);

std::string StartupUsage();

} // namespace qav
