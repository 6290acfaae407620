#pragma once
// What qav-nuva-cli says about itself, made from the command table: --help,
// COMMAND --help, and the man page's sections on the commands and the exit
// codes (packaging/man/qav-nuva-cli.1.in is filled with them at build time).
#include "CommandTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace qav::cli {

// The options the program takes in place of a command.
struct ProgramOption
{
    std::string_view name;
    std::string_view help;
};
std::span<const ProgramOption> ProgramOptions();

// Every command with its synopses and summary, then the words the synopses
// use, the program's own options and the exit codes.
std::string Usage();
// One command (or family of subcommands): synopses, summary, options.
std::string CommandUsage(const CommandRow& row);
// The man page's COMMANDS and EXIT STATUS sections, in roff.
std::string ManSections();
// The ranges `write` holds values to, both boards, for its help text.
std::string WriteRangesHelp();

} // namespace qav::cli
