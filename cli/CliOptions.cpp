#include "CliOptions.h"

#include "platform/CommandLine.h"

namespace qav::cli {

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::size_t from,
                                    const std::vector<std::string>& withValue,
                                    const std::vector<std::string>& flagNames, std::string& error)
{
    Options o;
    std::vector<OptionRow> rows;
    for (const std::string& name : withValue)
        rows.push_back({name, {}, true, [&o, &name](const std::string& v) {
                            o.values[name] = v;
                            o.all[name].push_back(v);
                            return true;
                        }});
    for (const std::string& name : flagNames)
        rows.push_back({name, {}, false, [&o, &name](const std::string&) {
                            o.flags[name] = true;
                            return true;
                        }});
    const auto fault = ParseOptionRows(args, from, rows, OptionStyle{}, &o.positional);
    if (!fault)
        return o;
    switch (fault->kind) {
    case OptionFault::NeedsValue:
        error = "Option " + fault->option + " needs a value.";
        break;
    case OptionFault::TakesNoValue:
        error = "Option " + fault->option + " takes no value.";
        break;
    case OptionFault::Unknown:
    case OptionFault::BadValue:
        error = "Unknown option " + fault->option + ".";
        break;
    }
    return std::nullopt;
}

} // namespace qav::cli
