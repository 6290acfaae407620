#pragma once
// The options of qav-nuva-cli's commands: --name VALUE, bare flags and
// positional arguments, on the parser all three programs share.
#include "platform/Result.h"

#include <cstddef>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav::cli {

// What the shell offers for an option's value or for a command's operands.
enum class Completes { Nothing, Port, File, Board, Command };

// One option of a command, as the command table lists it.
struct CommandOption
{
    std::string_view name;  // "--port"
    std::string_view value; // what it takes, named as the synopsis names it ("PORT"); empty for a flag
    std::string_view help;  // what it does, for COMMAND --help and the man page
    Completes completes = Completes::Nothing;
    bool required = false; // without it the command says its usage line
};

struct Options
{
    std::map<std::string, std::string, std::less<>> values; // the last value of each option
    std::map<std::string, bool, std::less<>> flags;
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>, std::less<>> all; // every value, in order

    bool Flag(std::string_view name) const { return flags.count(name) > 0; }
    // The last value given, or null.
    const std::string* Value(std::string_view name) const
    {
        const auto v = values.find(name);
        return v == values.end() ? nullptr : &v->second;
    }
};

// Parses args[from..] by `options`; anything else starting with '-' is a
// fault, worded in the message ("Unknown option --x.", "Option --port needs
// a value.").
Result ParseOptions(const std::vector<std::string>& args, std::size_t from,
                    std::span<const CommandOption> options, Options& out);

} // namespace qav::cli
