#pragma once
// qav-nuva-cli diff: which parameters differ between two configuration
// files, or between a board's own set and a file.
// One line per differing key: key, first value, second value, separated by
// tabs. Exit 0, or with `exitCode` 1 when anything differs (like git);
// unreadable files and devices give the codes of Cli.h.
#include <csignal>
#include <iosfwd>
#include <string>

namespace qav::cli {

// `motor`: motor configuration files (.bmc) and the motor board, else the
// controller's.
int DiffFiles(const std::string& fileA, const std::string& fileB, bool motor, bool exitCode,
              std::ostream& out, std::ostream& err);

// The board's set (read back over `port`) first, the file second.
int DiffDevice(const std::string& port, const std::string& file, bool motor, bool exitCode, std::ostream& out,
               std::ostream& err, const volatile std::sig_atomic_t* stop);

} // namespace qav::cli
