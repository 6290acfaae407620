#include "Cli.h"

#include "CliHelp.h"
#include "CliReport.h"
#include "CommandTable.h"
#include "Completion.h"

#include <algorithm>
#include <iostream>
#include <unistd.h>

namespace qav::cli {
namespace {

bool AsksForHelp(const std::vector<std::string>& args)
{
    // After "--" a "-h" is an operand.
    const auto end = std::find(args.begin() + 1, args.end(), "--");
    return std::any_of(args.begin() + 1, end, [](const std::string& a) { return a == "--help" || a == "-h"; });
}

// "Usage: qav-nuva-cli firmware pack|info ...".
int FamilyUsage(const CommandRow& family, std::ostream& err)
{
    std::string names;
    for (const CommandRow& sub : family.subcommands)
        names += (names.empty() ? "" : "|") + std::string(sub.name);
    return Fail(err, kExitUsage, Say(Message::FamilyUsage, {kProgram, family.name, names}));
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const volatile std::sig_atomic_t* stop)
{
    if (args.empty())
        return Fail(err, kExitUsage, Say(Message::NoCommand, {kProgram}));
    const std::string& first = args[0];
    if (first == "--help" || first == "-h") {
        out << Usage();
        return kExitOk;
    }
    if (first == "--version") {
        out << kProgram << ' ' << QAV_VERSION << '\n';
        return kExitOk;
    }
    // For the shell's completion and the man page's build, not for users.
    if (first == "--complete") {
        for (const std::string& word : CompletionWords({args.begin() + 1, args.end()}))
            out << word << '\n';
        return kExitOk;
    }
    if (first == "--man-sections") {
        out << ManSections();
        return kExitOk;
    }
    const CommandRow* command = FindCommand(Commands(), first);
    if (!command)
        return Fail(err, kExitUsage, Say(Message::UnknownCommand, {first, kProgram}));
    const CommandRow* row = command;
    std::size_t from = 1;
    if (!command->subcommands.empty()) {
        row = args.size() > 1 ? FindCommand(command->subcommands, args[1]) : nullptr;
        from = 2;
    }
    if (AsksForHelp(args)) {
        out << CommandUsage(row ? *row : *command);
        return kExitOk;
    }
    if (!row)
        return FamilyUsage(*command, err);
    Options options;
    if (const Result parsed = ParseOptions(args, from, row->options, options); !parsed)
        return Fail(err, kExitUsage, parsed.message);
    const CommandCall call{
        *row, args, options, out, err, stop, &out == &std::cout && ::isatty(STDOUT_FILENO)};
    const bool missing = std::any_of(row->options.begin(), row->options.end(), [&](const CommandOption& o) {
        return o.required && !options.Value(o.name) && !options.Flag(o.name);
    });
    if (missing || options.positional.size() < row->minOperands ||
        options.positional.size() > row->maxOperands)
        return call.Usage();
    return row->run(call);
}

} // namespace qav::cli
