#include "CliHelp.h"

#include "Cli.h"
#include "CliReport.h"
#include "CommandHandlers.h"
#include "LinkSession.h"
#include "files/ConfigFile.h"
#include "files/ConfigFileCheck.h"

#include <algorithm>
#include <cctype>
#include <ostream>

namespace qav::cli {
namespace {

constexpr std::size_t kWidth = 100;       // of the help's lines
constexpr std::size_t kOptionColumn = 26; // where an option's help starts

constexpr ProgramOption kProgramOptions[] = {
    {"--help", "print a summary of the commands; after a command, or as help COMMAND, describe that command"},
    {"--version", "print the program's name and version"},
};

// The words the synopses use for what the user fills in.
struct Term
{
    std::string_view word;
    std::string_view meaning;
};
constexpr Term kTerms[] = {
    {"PORT", "a port name such as COM3 or a device path such as /dev/ttyUSB0"},
    {"B", "controller (the main controller, the default) or motor (the motor driver board, whose "
          "configuration files "
          "are .bmc files with the section MOTOR_PARAMETERS)"},
};

struct ExitCodeRow
{
    std::string code;
    std::string meaning;
};
std::vector<ExitCodeRow> ExitCodes()
{
    return {
        {std::to_string(kExitOk), "success"},
        {std::to_string(kExitUsage), "bad command line, or a file that cannot be read, written or sent; also "
                                     "diff --exit-code finding differences"},
        {std::to_string(kExitPort), "the port cannot be opened (the message says why)"},
        {std::to_string(kExitNoAnswer), "no answer from the board within " + SecondsText(kAnswerTimeout) +
                                            " (or only the frames sent came back)"},
        {std::to_string(kExitDeviceFail), "the device reported a failure"},
        {"128+N", "ended by signal N (SIGINT, SIGTERM) before the command finished"},
    };
}

// `text` broken at blanks into lines of at most kWidth columns: the first
// goes on after `first` columns already taken (not written here), the
// others start after `indent` blanks; its own line breaks are kept.
std::string Wrapped(std::string_view text, std::size_t indent, std::size_t first)
{
    std::string out;
    std::size_t used = first;
    bool lineHasWord = false;
    const auto newLine = [&] {
        out += "\n" + std::string(indent, ' ');
        used = indent;
        lineHasWord = false;
    };
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find_first_of(" \n", start), text.size());
        const std::string_view word = text.substr(start, end - start);
        if (lineHasWord && used + 1 + word.size() > kWidth)
            newLine();
        if (lineHasWord) {
            out += ' ';
            ++used;
        }
        out += word;
        used += word.size();
        lineHasWord = true;
        if (end == text.size())
            break;
        if (text[end] == '\n')
            newLine();
        start = end + 1;
    }
    return out + "\n";
}

// A name (an option and its value, an exit code), then what it means from
// `column` on; a name too long for that gets a line of its own.
std::string NamedLine(std::string_view name, std::string_view meaning, std::size_t column = kOptionColumn)
{
    std::string head = "  " + std::string(name), text;
    if (head.size() + 2 > column) {
        text = head + "\n";
        head.clear();
    }
    head.resize(column, ' ');
    return text + head + Wrapped(meaning, column, column);
}

std::string OptionName(const CommandOption& o)
{
    return o.value.empty() ? std::string(o.name) : std::string(o.name) + " " + std::string(o.value);
}

// One command's entry in the summary of all: its synopses, then its
// summary indented under them.
std::string Entry(const CommandRow& row)
{
    std::string text;
    for (const std::string_view form : row.forms)
        text += "  " + std::string(form) + "\n";
    std::string summary;
    for (const char c : row.summary)
        summary += c == '\n' ? std::string("\n      ") : std::string(1, c);
    return text + "      " + summary + "\n";
}

std::string Tail()
{
    std::string text = "\n";
    for (const Term& t : kTerms)
        text += Wrapped(std::string(t.word) + " is " + std::string(t.meaning) + ".", 0, 0);
    text += "in place of a command:\n";
    for (const ProgramOption& o : kProgramOptions)
        text += NamedLine(o.name, o.help);
    text += "exit codes:\n";
    for (const ExitCodeRow& e : ExitCodes())
        text += NamedLine(e.code, e.meaning, 10);
    return text;
}

// roff: what a line may not start with, and a text's dashes and backslashes.
std::string RoffEscaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    return out;
}

bool OptionStart(std::string_view text, std::size_t i)
{
    return text[i] == '-' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '(') && i + 1 < text.size() &&
           (text[i + 1] == '-' || std::isalpha(static_cast<unsigned char>(text[i + 1])));
}

// A paragraph in roff: one line, the options in bold.
std::string RoffParagraph(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (OptionStart(text, i)) {
            std::size_t end = i;
            while (end < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-'))
                ++end;
            out += "\\fB\\%" + RoffEscaped(text.substr(i, end - i)) + "\\fR";
            i = end;
            continue;
        }
        out += text[i] == '\n' ? std::string(" ") : RoffEscaped(text.substr(i, 1));
        ++i;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out + "\n";
}

// A synopsis in roff: literal words in bold, what the user fills in (words
// in capitals) in italics, brackets, bars and "..." in roman.
std::string RoffSynopsis(std::string_view form)
{
    const std::string line = FormLine(form);
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (c == ' ' || c == '[' || c == ']' || c == '|') {
            out += c;
            ++i;
            continue;
        }
        std::size_t end = line.find_first_of(" []|", i);
        if (end == std::string::npos)
            end = line.size();
        const std::string_view word = std::string_view(line).substr(i, end - i);
        bool filled = word != "...";
        for (const char w : word)
            filled = filled && (std::isupper(static_cast<unsigned char>(w)) ||
                                std::isdigit(static_cast<unsigned char>(w)) || w == '_');
        if (word == "...")
            out += "...";
        else
            out += (filled ? "\\fI\\%" : "\\fB\\%") + RoffEscaped(word) + "\\fR";
        i = end;
    }
    return out + "\n";
}

std::string RoffOption(std::string_view name, std::string_view value)
{
    std::string text = "\\fB" + RoffEscaped(name) + "\\fR";
    if (value.empty())
        return text;
    // "controller|motor" is literal, "PORT" filled in.
    const bool filled = std::isupper(static_cast<unsigned char>(value[0]));
    return text + " " + (filled ? "\\fI" : "\\fB") + RoffEscaped(value) + "\\fR";
}

std::string ManEntry(const CommandRow& row)
{
    std::string text;
    for (std::size_t i = 0; i < row.forms.size(); ++i)
        text += (i == 0 ? ".TP\n" : ".TQ\n") + RoffSynopsis(row.forms[i]);
    std::string summary(row.summary);
    summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
    text += RoffParagraph(summary + ".");
    if (row.options.empty())
        return text;
    text += ".RS\n";
    for (const CommandOption& o : row.options)
        text += ".TP\n" + RoffOption(o.name, o.value) + "\n" + RoffParagraph(o.help);
    return text + ".RE\n";
}

} // namespace

std::span<const ProgramOption> ProgramOptions()
{
    return kProgramOptions;
}

std::string Usage()
{
    std::string text = std::string("usage: ") + kProgram + " COMMAND [OPTIONS]\n\ncommands:\n";
    for (const CommandRow& row : Commands()) {
        if (row.subcommands.empty())
            text += Entry(row);
        for (const CommandRow& sub : row.subcommands)
            text += Entry(sub);
    }
    return text + Tail();
}

std::string CommandUsage(const CommandRow& row)
{
    const std::span<const CommandRow> rows =
        row.subcommands.empty() ? std::span<const CommandRow>(&row, 1) : row.subcommands;
    std::string text;
    for (const CommandRow& r : rows)
        for (const std::string_view form : r.forms)
            text += (text.empty() ? std::string("usage: ") : std::string("       ")) + kProgram + " " +
                    std::string(form) + "\n";
    for (const CommandRow& r : rows) {
        if (rows.size() > 1)
            text += "\n" + std::string(row.name) + " " + std::string(r.name) + ":\n";
        text += std::string(r.summary) + "\n";
        if (!r.options.empty())
            text += "\noptions:\n";
        for (const CommandOption& o : r.options)
            text += NamedLine(OptionName(o), o.help);
        if (r.moreHelp)
            text += "\n" + r.moreHelp();
    }
    return text + Tail();
}

std::string ManSections()
{
    std::string text = ".SH COMMANDS\n";
    for (const Term& t : kTerms)
        text += ".I " + std::string(t.word) + "\n" + RoffParagraph("is " + std::string(t.meaning) + ".") +
                ".PP\n";
    for (const CommandRow& row : Commands()) {
        if (row.subcommands.empty())
            text += ManEntry(row);
        for (const CommandRow& sub : row.subcommands)
            text += ManEntry(sub);
    }
    for (const ProgramOption& o : kProgramOptions) {
        std::string help(o.help);
        help[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(help[0])));
        text += ".TP\n" + RoffOption(o.name, {}) + "\n" + RoffParagraph(help + ".");
    }
    text += ".SH EXIT STATUS\n";
    for (const ExitCodeRow& e : ExitCodes()) {
        std::string code;
        for (const char c : e.code)
            code += std::isupper(static_cast<unsigned char>(c)) ? "\\fI" + std::string(1, c) + "\\fB"
                                                                : std::string(1, c);
        text += ".TP\n\\fB" + code + "\\fR\n" + RoffParagraph(e.meaning);
    }
    return text;
}

int RunHelp(const CommandCall& call)
{
    const std::vector<std::string>& operands = call.Operands();
    const CommandRow* row = operands.empty() ? nullptr : FindCommand(Commands(), operands[0]);
    call.out << (row ? CommandUsage(*row) : Usage());
    return kExitOk;
}

std::string WriteRangesHelp()
{
    std::string text =
        "values the screens allow (others are refused unless --allow-out-of-range is given):\n";
    const auto add = [&](const std::string& board, const std::vector<ConfigKeyRange>& keys) {
        text += board;
        text += ":\n";
        for (const ConfigKeyRange& k : keys) {
            std::string key(k.key);
            key.resize(std::max<std::size_t>(key.size(), 20), ' ');
            text += "  " + key + " " + AllowedText(k.allowed, k.choices);
            if (k.step > 1)
                text += ", in steps of " + std::to_string(k.step);
            text += "\n";
        }
    };
    // The controller is the default board; the others are named as --board
    // names them.
    for (const BoardRow& board : Boards())
        add(board.id == BoardId::Controller
                ? std::string(board.device)
                : std::string(board.device) + " (--board " + std::string(board.word) + ")",
            ConfigKeyRanges(board));
    return text;
}

} // namespace qav::cli
