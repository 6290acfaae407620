#include "CliOptions.h"

#include "CliMessages.h"
#include "platform/CommandLine.h"

#include <cerrno>

namespace qav::cli {

Result ParseOptions(const std::vector<std::string>& args, std::size_t from,
                    std::span<const CommandOption> options, Options& out)
{
    out = {};
    std::vector<OptionRow> rows;
    rows.reserve(options.size());
    for (const CommandOption& option : options) {
        const std::string name(option.name);
        if (option.value.empty())
            rows.push_back({option.name, {}, false, [&out, name](const std::string&) {
                                out.flags[name] = true;
                                return true;
                            }});
        else
            rows.push_back({option.name, {}, true, [&out, name](const std::string& v) {
                                out.values[name] = v;
                                out.all[name].push_back(v);
                                return true;
                            }});
    }
    const auto fault = ParseOptionRows(args, from, rows, OptionStyle{}, &out.positional);
    if (!fault)
        return {};
    switch (fault->kind) {
    case OptionFault::NeedsValue:
        return Result::Failed(EINVAL, Say(Message::OptionNeedsValue, {fault->option}));
    case OptionFault::TakesNoValue:
        return Result::Failed(EINVAL, Say(Message::OptionTakesNoValue, {fault->option}));
    case OptionFault::Unknown:
    case OptionFault::BadValue:
        break;
    }
    return Result::Failed(EINVAL, Say(Message::UnknownOption, {fault->option}));
}

} // namespace qav::cli
