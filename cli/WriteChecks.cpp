#include "WriteChecks.h"

#include "Cli.h"
#include "CliReport.h"
#include "files/ConfigFile.h"
#include "platform/ShownText.h"

namespace qav::cli {
namespace {

std::string Listed(const std::vector<std::string>& phrases)
{
    std::string text;
    for (std::size_t i = 0; i < phrases.size(); ++i)
        text += (i > 0 ? ", " : "") + phrases[i];
    return text;
}

} // namespace

void SayIgnoredKeys(const std::string& file, const std::vector<std::string>& unknown,
                    std::span<const ConfigKeyRange> keys, std::ostream& err)
{
    if (unknown.empty())
        return;
    std::vector<std::string> shown;
    for (const std::string& name : unknown)
        shown.push_back(EscapedText(name));
    const std::vector<std::string_view> names(shown.begin(), shown.end());
    Note(err, Say(names.size() == 1 ? Message::IgnoredKey : Message::IgnoredKeys, {file, JoinKeys(names)}));
    for (const std::string& name : unknown)
        if (const std::string hint = DidYouMean(name, keys); !hint.empty())
            Note(err, hint);
}

int CheckBeforeSending(const std::string& file, const Result& read, const CheckedConfig& checked,
                       std::string_view section, std::span<const ConfigKeyRange> keys, std::string_view device,
                       bool allowOutOfRange, std::ostream& err)
{
    SayIgnoredKeys(file, checked.unknown, keys, err);
    // Every fault at once: a file is not refused for one value, mended and
    // refused again for the next. A value no field holds is read's own
    // sentence; the range checks add theirs.
    std::string why = read ? std::string() : read.message, hint;
    bool ranges = false;
    // The first sentence names the file; one after read's says "also".
    const auto add = [&](Message first, Message also, const std::vector<std::string>& phrases) {
        why +=
            why.empty() ? Say(first, {file, device, Listed(phrases)}) : Say(also, {device, Listed(phrases)});
        ranges = true;
    };
    if (allowOutOfRange) {
        if (const auto beyond = BeyondWhatTravels(checked, keys); !beyond.empty())
            add(Message::HasValuesBeyondFrames, Message::AlsoValuesBeyondFrames, beyond);
    } else if (const auto outside = OutsideScreenRanges(checked, keys, device); !outside.empty()) {
        if (why.empty())
            hint = Say(Message::OutOfRangeHint, {device});
        add(Message::HasValuesOutsideRanges, Message::AlsoValuesOutsideRanges, outside);
    }
    if (!why.empty())
        return Fail(err, kExitUsage, ranges ? why + Say(Message::NothingSent) + hint : why);
    // As the screens refuse it: there is nothing to send.
    if (const std::string none = NothingToLoad(ConfigLoadReport{true, checked.missing}, section, keys.size());
        !none.empty())
        return Fail(err, kExitUsage, Say(Message::ChangesNothing, {file, none}) + Say(Message::NothingSent));
    return kExitOk;
}

std::string CrossedWithKeptValues(const std::string& file, const CheckedConfig& checked,
                                  std::span<const ConfigKeyRange> keys, std::string_view device,
                                  const std::function<std::int64_t(std::string_view)>& deviceValue)
{
    const auto merged = [&](std::string_view key) -> std::optional<std::int64_t> {
        if (const auto v = checked.ValueOf(key))
            return v;
        return deviceValue(key);
    };
    std::vector<std::string> phrases;
    for (const Crossing& c : CrossedValues(keys, merged)) {
        // Both from the file: refused before the port was opened; neither:
        // the board's own, which the write leaves alone.
        const bool maxFromFile = checked.ValueOf(c.maxKey).has_value();
        if (maxFromFile != checked.ValueOf(c.minKey).has_value())
            phrases.push_back(
                Say(Message::KeptValueCrossed, {CrossingText(c), maxFromFile ? c.minKey : c.maxKey, device}));
    }
    if (phrases.empty())
        return {};
    return Say(Message::LimitsCrossed, {file, device, Listed(phrases)}) + Say(Message::NothingSent);
}

} // namespace qav::cli
