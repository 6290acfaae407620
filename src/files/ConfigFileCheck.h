#pragma once
// Strict reading of a configuration file for tools that send it to a device
// without a person looking at it first: the controller's and the motor
// board's files alike, each with its own section and key table.
//
// The file must be a regular file of at most 1 MiB (see IniFile.h), hold
// its section, and give every key of the table that it has a whole number
// its key's field can hold. Keys the file lacks are listed, not refused, so
// that the caller can keep the device's own values for them. Nothing here
// prints; failures come back as one sentence that names the file.
//
// Two kinds of check: what the board cannot hold at all (the field's width,
// or what its frame carries) is always refused; what the screens would not
// let a value be (its range or list, a maximum not above its minimum, an
// odd angle limit) is found by OutsideScreenRanges, for the caller to refuse
// unless the user says otherwise.
#include "platform/Result.h"
#include "protocol/ParamTable.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

// What a lenient load (the private-profile rules, as the screens load
// files) found.
struct ConfigLoadReport
{
    bool hasSection = false;               // the file has the section at all
    std::vector<std::string_view> missing; // keys a load reads that the file lacks, in file order
};
// Why such a load of `section`, which reads `keysRead` keys, found nothing to
// load: "it has no [PARAMETERS] section", "its [PARAMETERS] section has none
// of the keys"; empty when it found a key.
std::string NothingToLoad(const ConfigLoadReport& found, std::string_view section, std::size_t keysRead);
// What a lenient load does with a key the file lacks.
enum class MissingKeys {
    ReadAsZero, // as the private-profile read with its default "0" does
    KeepValues, // the parameter keeps its value
};

inline constexpr ValueRange kAnyValue{std::numeric_limits<std::int64_t>::min(),
                                      std::numeric_limits<std::int64_t>::max()};

// A key, the values its field can hold (the field's width: a device's own
// values may lie outside what an editor enforces, not outside this), what
// its frame carries to the board, and what the screens let the value be.
struct ConfigKeyRange
{
    std::string_view key;
    std::int64_t min, max;
    ValueRange carried = kAnyValue;
    ValueRange allowed = kAnyValue;
    std::span<const ParamChoice> choices{}; // when not empty, the only values the screens offer
    std::int64_t step = 1;                  // the board keeps only multiples of it
    std::string_view above{};               // key whose value this one must lie above
};

// The checks of a parameter row whose field travels as `form`.
template <class S> ConfigKeyRange KeyRangeOf(const ParamRow<S>& row, const WireForm& form)
{
    const ValueRange field = FieldRange<S>(row.member);
    return ConfigKeyRange{row.key,   field.low,   field.high, form.carried, row.range,
                          row.choices, form.step, row.above};
}

struct ConfigValue
{
    std::string_view key; // points into the caller's key table
    std::int64_t value;
};

struct CheckedConfig
{
    std::vector<ConfigValue> values;       // keys the file has, in table order
    std::vector<std::string_view> missing; // keys it lacks, in table order
    std::vector<std::string> unknown;      // keys of the section that are no parameter, as written
    std::vector<std::string> unheld;       // "KEY=text (why)" for values no field holds


    std::optional<std::int64_t> ValueOf(std::string_view key) const;
};

// Reads and checks `path`. A failure's message is one sentence, such as
// "Cannot read a.bgsc: not a regular file.", "a.bgsc has no [PARAMETERS]
// section." or "a.bgsc has values its parameters cannot hold: ROLL_TOTAL=-1
// (0 to 65535), ROLL_VEL=12abc (not a whole number)." (the file's text
// escaped, EscapedText). After the last, `out` holds the values that could
// be read and the phrases in `unheld`, so that every fault of the file can
// be named at once; after the others it is empty. Keys in `alsoKnown`
// (written by a save but never read) are neither read nor listed as unknown.
Result ReadCheckedConfig(const std::string& path, std::string_view section,
                         std::span<const ConfigKeyRange> keys, CheckedConfig& out,
                         std::span<const std::string_view> alsoKnown = {});

// The sentences of a configuration file that cannot be used, as the
// functions here fail: "Cannot read a.bgsc: <reason>.", "Cannot write
// a.bgsc: <reason>.", "a.bgsc has no [PARAMETERS] section.".
Result CannotRead(const std::string& path, int error);
Result CannotWrite(const std::string& path, int error);
Result NoSection(const std::string& path, std::string_view section);

// The keys of `section` in `doc` that are neither in `keys` nor in
// `alsoKnown`, as written, each once.
class IniDocument;
std::vector<std::string> UnknownKeys(const IniDocument& doc, std::string_view section,
                                     std::span<const ConfigKeyRange> keys,
                                     std::span<const std::string_view> alsoKnown = {});

// The key of `keys` that `name`, no parameter, was most likely meant to be:
// the one the fewest edits away (a letter added, dropped, changed, or two
// next to each other swapped; case aside), when that is few enough for a
// slip of the hand (one edit in up to 7 letters, two in up to 11, three
// beyond); empty when no key is that near. The first in table order wins a
// tie.
std::string_view NearestKey(std::string_view name, std::span<const ConfigKeyRange> keys);
// "ROLL_TOTL: did you mean ROLL_TOTAL?" (the name escaped), or empty when no
// key is near.
std::string DidYouMean(std::string_view name, std::span<const ConfigKeyRange> keys);

// A maximum whose value does not lie above its minimum's.
struct Crossing
{
    std::string_view maxKey, minKey;
    std::int64_t max, min;
};
// The crossings among `keys` whose both values `valueOf` knows.
std::vector<Crossing> CrossedValues(std::span<const ConfigKeyRange> keys,
                                    const std::function<std::optional<std::int64_t>(std::string_view)>& valueOf);
// "ROLL_MAX=-10 is not above ROLL_MIN=20".
std::string CrossingText(const Crossing& c);

// The values of `checked` that the screens would not let their parameters
// take, one phrase each in table order: "ROLL_TOTAL=600 (0 to 500)",
// "INSTALL_MODE=99 (1, 2 or 3)", "ROLL_MAX=45: the controller keeps limits
// in steps of 2; use 44" (`device` names the board), then the crossings of
// the file's own values.
std::vector<std::string> OutsideScreenRanges(const CheckedConfig& checked, std::span<const ConfigKeyRange> keys,
                                             std::string_view device);
// The values of `checked` that their frames cannot carry to the board, one
// phrase each: "ROLL_MAX=300 (-256 to 254)".
std::vector<std::string> BeyondWhatTravels(const CheckedConfig& checked, std::span<const ConfigKeyRange> keys);

// Whether `path` may be written as a configuration file: missing, or an
// existing regular file of at most 1 MiB (a save merges into what is there)
// that the user may write (CheckWritable).
// Fails with "Cannot write PATH: <reason>.".
Result CheckConfigOutput(const std::string& path);

// "A, B and C".
std::string JoinKeys(const std::vector<std::string_view>& keys);

} // namespace qav
