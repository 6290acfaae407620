#pragma once
// The commands of qav-nuva-cli as one table. A row names the command, its
// options with their help, its synopsis and summary, what its operands are
// and the function that runs it; the parser, --help, COMMAND --help, the
// usage errors, the shell completion and the man page all read the rows.
// A new command is one row here, the declaration of its handler in
// CommandHandlers.h and its own file.
#include "CliOptions.h"

#include <csignal>
#include <cstddef>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav::cli {

struct CommandRow;

// What a command's handler is given: its row, the command line and its
// parsed options (the table's checks already passed: every required option
// is there, and the operand count lies in the row's range).
struct CommandCall
{
    const CommandRow& row;
    const std::vector<std::string>& args; // the whole command line, the command first
    const Options& options;
    std::ostream& out;
    std::ostream& err;
    const volatile std::sig_atomic_t* stop; // holds a signal number once one asks the command to end
    bool terminal;                          // `out` is a terminal

    const std::vector<std::string>& Operands() const { return options.positional; }
    // Says "Usage: qav-nuva-cli <form>" for the row's form `form` and
    // returns the usage exit code.
    int Usage(std::size_t form = 0) const;
};

using CommandHandler = int (*)(const CommandCall& call);

struct CommandRow
{
    std::string_view name;
    // The command's synopses without the program's name, one per form
    // ("diff [--board B] FILE_A FILE_B [--exit-code]"); a line break with
    // the blanks after it continues a long one in the help.
    std::span<const std::string_view> forms;
    // What the command does, for --help (line breaks as it prints them) and
    // the man page (which fills the lines).
    std::string_view summary;
    std::span<const CommandOption> options;
    std::size_t minOperands = 0, maxOperands = 0;
    Completes operands = Completes::Nothing;
    CommandHandler run = nullptr; // null for a family of subcommands
    std::span<const CommandRow> subcommands = {};
    // More for COMMAND --help, made when asked (write's ranges come from the
    // parameter tables).
    std::string (*moreHelp)() = nullptr;
};

// Every command, in the order the help lists them.
std::span<const CommandRow> Commands();
// The row named `name` among `rows`, or null.
const CommandRow* FindCommand(std::span<const CommandRow> rows, std::string_view name);
// A form as one line ("write ... [--no-backup] [--allow-out-of-range]").
std::string FormLine(std::string_view form);

} // namespace qav::cli
