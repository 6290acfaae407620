// The command table and what is made from it: the usage errors, the help,
// the shell's words and the man page's sections.
#include "CommandTable.h"
#include "CliHelp.h"
#include "Completion.h"
#include "platform/PortMap.h"

#include "support/CliRun.h"
#include "support/ScopedPortsDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

namespace qav {
namespace {

using cli::CommandOption;
using cli::CommandRow;
using test::Cli;

// Every row, a family's subcommands in place of the family, with the words
// that run it ("firmware pack").
std::vector<std::pair<std::vector<std::string>, const CommandRow*>> Runnable()
{
    std::vector<std::pair<std::vector<std::string>, const CommandRow*>> rows;
    for (const CommandRow& row : cli::Commands()) {
        if (row.subcommands.empty())
            rows.push_back({{std::string(row.name)}, &row});
        for (const CommandRow& sub : row.subcommands)
            rows.push_back({{std::string(row.name), std::string(sub.name)}, &sub});
    }
    return rows;
}

// The options a synopsis names ("--port", "-o").
std::set<std::string> OptionsIn(std::string_view form)
{
    static const std::regex option("(^|[ \\[|])(--?[a-z][a-z-]*)");
    std::set<std::string> names;
    const std::string text(form);
    for (std::sregex_iterator i(text.begin(), text.end(), option), end; i != end; ++i)
        names.insert((*i)[2]);
    return names;
}

TEST(CommandTable, EverySynopsisNamesExactlyItsRowsOptions)
{
    for (const auto& [words, row] : Runnable()) {
        SCOPED_TRACE(words.back());
        ASSERT_FALSE(row->forms.empty());
        EXPECT_NE(row->run, nullptr);
        EXPECT_FALSE(row->summary.empty());
        EXPECT_LE(row->minOperands, row->maxOperands);
        std::set<std::string> listed;
        for (const CommandOption& o : row->options) {
            EXPECT_TRUE(listed.insert(std::string(o.name)).second) << o.name << " twice";
            EXPECT_FALSE(o.help.empty()) << o.name;
        }
        std::set<std::string> named;
        for (const std::string_view form : row->forms) {
            EXPECT_EQ(cli::FormLine(form).rfind(words.size() == 1 ? words[0] : words[0] + " " + words[1], 0),
                      0u)
                << form;
            const auto in = OptionsIn(form);
            named.insert(in.begin(), in.end());
        }
        EXPECT_EQ(named, listed);
    }
}

// Each command said without what it needs gives its own usage line and
// does nothing else.
TEST(CommandTable, AMissingOptionOrOperandGivesTheRowsUsageLine)
{
    for (const auto& [words, row] : Runnable()) {
        SCOPED_TRACE(words.back());
        const std::string usage = "qav-nuva-cli: Usage: qav-nuva-cli " + cli::FormLine(row->forms[0]) + "\n";
        const bool needs =
            row->minOperands > 0 || std::any_of(row->options.begin(), row->options.end(),
                                                [](const CommandOption& o) { return o.required; });
        if (needs) {
            const test::CliRun bare = Cli(words);
            EXPECT_EQ(bare.code, 1);
            EXPECT_EQ(bare.out, "");
            EXPECT_EQ(bare.err, usage);
        }
        std::vector<std::string> tooMany = words;
        for (std::size_t i = 0; i <= row->maxOperands; ++i)
            tooMany.push_back("operand" + std::to_string(i));
        for (const CommandOption& o : row->options)
            if (o.required) {
                tooMany.emplace_back(o.name);
                tooMany.emplace_back("x");
            }
        const test::CliRun extra = Cli(tooMany);
        EXPECT_EQ(extra.code, 1);
        EXPECT_EQ(extra.err, usage);
    }
    const test::CliRun family = Cli({"firmware", "burn"});
    EXPECT_EQ(family.err, "qav-nuva-cli: Usage: qav-nuva-cli firmware pack|info ...\n");
    EXPECT_EQ(Cli({"read", "--port"}).err, "qav-nuva-cli: Option --port needs a value.\n");
    EXPECT_EQ(Cli({"ports", "--jsn"}).err, "qav-nuva-cli: Unknown option --jsn.\n");
}

TEST(CommandTable, HelpDescribesEveryCommandAndOptionFromTheTable)
{
    const std::string all = Cli({"--help"}).out;
    for (const auto& [words, row] : Runnable()) {
        SCOPED_TRACE(words.back());
        for (const std::string_view form : row->forms)
            EXPECT_NE(all.find("  " + std::string(form) + "\n"), std::string::npos) << form;
        std::vector<std::string> asked = words;
        asked.push_back("--help");
        const test::CliRun help = Cli(asked);
        EXPECT_EQ(help.code, 0);
        EXPECT_EQ(help.out.rfind("usage: qav-nuva-cli " + std::string(row->forms[0]) + "\n", 0), 0u)
            << help.out;
        EXPECT_NE(help.out.find(std::string(row->summary)), std::string::npos);
        for (const CommandOption& o : row->options) {
            const std::string line =
                "  " + std::string(o.name) + (o.value.empty() ? "" : " " + std::string(o.value));
            EXPECT_NE(help.out.find("\n" + line), std::string::npos) << o.name;
            EXPECT_NE(help.out.find(std::string(o.help.substr(0, 40))), std::string::npos) << o.name;
        }
        if (words.size() == 1) {
            EXPECT_EQ(Cli({"help", words[0]}).out, help.out);
        }
    }
    EXPECT_EQ(Cli({"help"}).out, all);
    EXPECT_EQ(Cli({"-h"}).out, all);
    EXPECT_NE(all.find("3       no answer from the board within 3 seconds"), std::string::npos) << all;
}

TEST(CommandTable, TheShellIsOfferedTheTablesWords)
{
    test::ScopedPortsDir ports;
    ASSERT_TRUE(RegisterPortAlias(1017, "/dev/null"));
    const std::string files = cli::kCompleteFiles;
    const struct
    {
        std::vector<std::string> words;
        std::vector<std::string> offered;
    } rows[] = {
        {{"mo"}, {"monitor", "motor-on", "motor-off"}},
        {{"--v"}, {"--version"}},
        {{"read", "-"}, {"--board", "--port", "-o", "--help"}},
        {{"monitor", "--j"}, {"--json"}},
        {{"read", "--board", ""}, {"controller", "motor"}},
        {{"upgrade", "--board", "m"}, {"motor"}},
        {{"read", "--port", "COM101"}, {"COM1017"}},
        {{"read", "--port", "/dev/nu"}, {files}},
        {{"read", "-o", "x"}, {files}},
        {{"monitor", "--count", ""}, {}},
        {{"write", "--port", "COM1017", "g"}, {files}},
        {{"write", "--fl"}, {"--flash"}},
        {{"firmware", ""}, {"pack", "info", "--help"}},
        {{"firmware", "pack", "--v"}, {"--version"}},
        {{"firmware", "pack", "--board", "c"}, {"controller"}},
        {{"firmware", "info", ""}, {files, "--help"}},
        {{"help", "ca"}, {"calibrate"}},
        {{"bogus", ""}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.words.back().empty() ? row.words.front() : row.words.back());
        EXPECT_EQ(cli::CompletionWords(row.words), row.offered);
    }
    // Through the program, as the shell asks it.
    EXPECT_EQ(Cli({"--complete", "cal"}).out, "calibrate\n");
}

// A name as roff writes it.
std::string Roff(std::string_view name)
{
    std::string text;
    for (const char c : name)
        text += c == '-' ? std::string("\\-") : std::string(1, c);
    return text;
}

TEST(CommandTable, TheManPageSectionsCarryEveryCommandOptionAndExitCode)
{
    const std::string roff = cli::ManSections();
    EXPECT_EQ(roff.rfind(".SH COMMANDS\n", 0), 0u);
    EXPECT_NE(roff.find("\n.SH EXIT STATUS\n"), std::string::npos);
    // Nothing but macros starts a line with a dot: text could vanish.
    static const std::regex macro("^\\.(SH|TP|TQ|RS|RE|PP|I) ?.*");
    std::istringstream lines(roff);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with('.') || line.starts_with('\'')) {
            EXPECT_TRUE(std::regex_match(line, macro)) << line;
        }
    for (const auto& [words, row] : Runnable()) {
        SCOPED_TRACE(words.back());
        EXPECT_NE(roff.find("\\fB\\%" + Roff(words.back()) + "\\fR"), std::string::npos);
        for (const CommandOption& o : row->options)
            EXPECT_NE(roff.find(".TP\n\\fB" + Roff(o.name) + "\\fR"), std::string::npos) << o.name;
    }
    EXPECT_NE(roff.find("no answer from the board within 3 seconds"), std::string::npos);
    EXPECT_NE(roff.find("\\fB128+\\fIN\\fB\\fR"), std::string::npos);
}

} // namespace
} // namespace qav
