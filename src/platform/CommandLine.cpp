#include "platform/CommandLine.h"

#include <algorithm>

namespace qav {

std::optional<OptionFault> ParseOptionRows(const std::vector<std::string>& args, std::size_t from,
                                           std::span<const OptionRow> rows, const OptionStyle& style,
                                           std::vector<std::string>* positional)
{
    for (std::size_t i = from; i < args.size(); ++i) {
        // "--" ends the options: what follows is taken as it is, so that a
        // file named "-x" can be given.
        if (args[i] == "--") {
            for (++i; i < args.size(); ++i) {
                if (!style.positional)
                    return OptionFault{OptionFault::Unknown, args[i]};
                if (positional)
                    positional->push_back(args[i]);
            }
            break;
        }
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('=');
            style.inlineValues && name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const OptionRow& r) {
            return r.name == name || (!r.alias.empty() && r.alias == name);
        });
        if (row == rows.end()) {
            const bool isOption = name.size() > 1 && name[0] == '-';
            if (isOption && style.ignoreUnknown)
                continue;
            if (isOption || !style.positional)
                return OptionFault{OptionFault::Unknown, args[i]};
            if (positional)
                positional->push_back(args[i]);
            continue;
        }
        std::string value;
        if (!row->takesValue) {
            if (inlineValue)
                return OptionFault{OptionFault::TakesNoValue, name};
        } else if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return OptionFault{OptionFault::NeedsValue, name};
        }
        if (row->take && !row->take(value))
            return OptionFault{OptionFault::BadValue, name, value, row->expected};
    }
    return std::nullopt;
}

std::string OptionFaultSentence(const OptionFault& fault)
{
    switch (fault.kind) {
    case OptionFault::Unknown:
        return "unknown option " + fault.option + " (try --help)";
    case OptionFault::NeedsValue:
        return fault.option + " needs a value";
    case OptionFault::TakesNoValue:
        return fault.option + " takes no value";
    case OptionFault::BadValue:
        break;
    }
    return fault.option + ": '" + fault.value + "' is not " + std::string(fault.expected);
}

} // namespace qav
