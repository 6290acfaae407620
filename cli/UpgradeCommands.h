#pragma once
// The firmware commands of qav-nuva-cli:
//   upgrade --port PORT [--board controller|motor] [--no-identify] FILE
//   firmware pack --board controller|motor --version N [--address A] [--chip ID] [--force] IN -o OUT
//   firmware info FILE
// Exit codes as in Cli.h: 1 for a file that is unreadable, invalid or for
// the other board or chip (and for usage errors), 2 when the port cannot be
// opened, 3 when the boot loader never answers, 4 for any other failure,
// 128 + N when signal N stopped the upgrade.
#include "CliOptions.h"

#include <csignal>
#include <iosfwd>
#include <string>
#include <vector>

namespace qav::cli {

bool IsFirmwareCommand(const std::string& command);
// `terminal`: `out` is a terminal, so progress is one bar redrawn in place;
// otherwise one line per 10 %.
int RunFirmwareCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                       const volatile std::sig_atomic_t* stop, bool terminal);

// The options `upgrade` takes, for the shared parser.
extern const std::vector<std::string> kUpgradeValueOptions;
extern const std::vector<std::string> kUpgradeFlags;
// One port's upgrade with parsed options (their --port is not looked at).
int RunUpgrade(const std::string& port, const Options& options, std::ostream& out, std::ostream& err,
               const volatile std::sig_atomic_t* stop, bool terminal);

} // namespace qav::cli
