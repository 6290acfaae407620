#pragma once
// The options of qav-nuva-cli's commands: --name VALUE, bare flags and
// positional arguments, on the parser all three programs share.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qav::cli {

struct Options
{
    std::map<std::string, std::string> values;
    std::map<std::string, bool> flags;
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>> all; // every value of an option given more than once
};

// Options named in `withValue` take the next argument, those in `flagNames`
// none; anything else starting with '-' is a fault, worded in `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::size_t from,
                                    const std::vector<std::string>& withValue,
                                    const std::vector<std::string>& flagNames, std::string& error);

} // namespace qav::cli
