#pragma once
// The option parser of all three programs: each program lists its options as
// rows, and words the faults in its own voice.
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

struct OptionRow
{
    std::string_view name;  // "--port"
    std::string_view alias; // "-h", or empty
    bool takesValue = false;
    // Takes the value (empty for a flag); false when it is not acceptable.
    std::function<bool(const std::string& value)> take;
    // What an acceptable value is, for the fault's sentence.
    std::string_view expected = {};
};

struct OptionStyle
{
    bool inlineValues = false;  // "--name=value" as well as "--name value"
    bool positional = true;     // arguments that are not options are kept
    bool ignoreUnknown = false; // options not in the rows are skipped (the GUI leaves them to Qt)
};

struct OptionFault
{
    enum Kind { Unknown, NeedsValue, TakesNoValue, BadValue } kind;
    std::string option = {};        // as written, for Unknown the whole argument
    std::string value = {};         // for BadValue
    std::string_view expected = {}; // for BadValue
};

// The fault in one sentence, as the simulator and the GUI word it:
// "unknown option --bogus (try --help)", "--port needs a value",
// "--plots takes no value", "--seed: 'x' is not a number from 0 to 4294967295".
std::string OptionFaultSentence(const OptionFault& fault);

// Parses args[from..] by the rows; positional arguments (a lone "-" counts as
// one, and so does everything after "--") go to `positional` when given.
// Stops at the first fault.
std::optional<OptionFault> ParseOptionRows(const std::vector<std::string>& args, std::size_t from,
                                           std::span<const OptionRow> rows, const OptionStyle& style,
                                           std::vector<std::string>* positional = nullptr);

} // namespace qav
