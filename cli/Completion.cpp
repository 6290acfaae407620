#include "Completion.h"

#include "BoardSession.h"
#include "CliHelp.h"
#include "CommandTable.h"
#include "serial/PortList.h"

#include <algorithm>

namespace qav::cli {
namespace {

const CommandOption* FindOption(std::span<const CommandOption> options, std::string_view name)
{
    for (const CommandOption& o : options)
        if (o.name == name)
            return &o;
    return nullptr;
}

// What `what` offers, files aside.
std::vector<std::string> Offered(Completes what)
{
    std::vector<std::string> words;
    switch (what) {
    case Completes::Port:
        for (const SerialPortInfo& port : ScanSerialPorts())
            words.push_back(port.Name());
        break;
    case Completes::Board:
        for (const BoardRow& board : Boards())
            words.emplace_back(board.word);
        break;
    case Completes::Command:
        for (const CommandRow& row : Commands())
            words.emplace_back(row.name);
        break;
    case Completes::File:
    case Completes::Nothing:
        break;
    }
    return words;
}

} // namespace

std::vector<std::string> CompletionWords(const std::vector<std::string>& words)
{
    const std::string cur = words.empty() ? std::string() : words.back();
    bool files = false;
    std::vector<std::string> offered;
    if (words.size() <= 1) {
        offered = Offered(Completes::Command);
        for (const ProgramOption& o : ProgramOptions())
            offered.emplace_back(o.name);
    } else if (const CommandRow* command = FindCommand(Commands(), words[0])) {
        // A family's subcommand comes second, then its own options.
        const CommandRow* row = command;
        std::size_t first = 1;
        if (!command->subcommands.empty()) {
            if (words.size() == 2) {
                for (const CommandRow& sub : command->subcommands)
                    offered.emplace_back(sub.name);
                offered.emplace_back("--help");
            }
            row = FindCommand(command->subcommands, words[1]);
            first = 2;
        }
        const std::string& prev = words[words.size() - 2];
        const CommandOption* taking =
            row && words.size() > first + 1 ? FindOption(row->options, prev) : nullptr;
        if (taking && !taking->value.empty()) {
            offered = Offered(taking->completes);
            // A device path in place of a port name.
            files = taking->completes == Completes::File ||
                    (taking->completes == Completes::Port && cur.starts_with('/'));
        } else if (row && words.size() > first) {
            for (const CommandOption& o : row->options)
                offered.emplace_back(o.name);
            offered.emplace_back("--help");
            if (!cur.starts_with('-')) {
                const auto operands = Offered(row->operands);
                offered.insert(offered.end(), operands.begin(), operands.end());
                files = row->operands == Completes::File;
            }
        }
    }
    std::vector<std::string> out;
    if (files)
        out.emplace_back(kCompleteFiles);
    for (const std::string& w : offered)
        if (w.starts_with(cur) && std::find(out.begin(), out.end(), w) == out.end())
            out.push_back(w);
    return out;
}

} // namespace qav::cli
