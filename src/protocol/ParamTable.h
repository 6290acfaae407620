#pragma once
// What a board's parameters are, one row each: the name, the field it
// fills, whether configuration files carry it, the values the screens let
// it take, its unit, the screen control that edits it and what it means.
// Each board keeps one table of these rows (ControllerParamTable.h,
// motor/MotorParamTable.h); the screens, the files, the command line and
// the help texts all read it, so a range is written once.
//
// How a value travels is not restated here: the payload layouts
// (FieldLayout.h) say that, and WireFormOf looks a row's member up in them.
#include "protocol/FieldLayout.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace qav {

// A closed range of whole numbers.
struct ValueRange
{
    std::int64_t low = 0, high = 0;
    constexpr bool Contains(std::int64_t v) const { return v >= low && v <= high; }
    constexpr std::int64_t Clamp(std::int64_t v) const { return std::clamp(v, low, high); }
    constexpr bool operator==(const ValueRange&) const = default;
};

// Marks a text the GUI translates under `context`, for lupdate to collect
// where the text is written: Qt-free code cannot use Qt's QT_TRANSLATE_NOOP,
// so lupdate runs with -tr-function-alias QT_TRANSLATE_NOOP+=QAV_TRANSLATE_NOOP.
#define QAV_TRANSLATE_NOOP(context, text) text

// One value of a parameter that takes only listed values, with the text of
// the list item (or check state) that stands for it.
struct ParamChoice
{
    std::int64_t value;
    std::string_view caption;
};

// How the board's configuration files carry a parameter.
enum class FileUse : std::uint8_t {
    ReadWrite, // saved and loaded
    WriteOnly, // saved, never loaded
    None,      // not in the files
};

template <class S> using ParamMember = typename WireField<S>::Member;

template <class S> struct ParamRow
{
    using Record = S;
    std::string_view key; // the file key; the field's name where files have none
    ParamMember<S> member;
    FileUse file = FileUse::ReadWrite;
    ValueRange range;                     // what the screen lets the value be
    ValueRange typing;                    // what typing lets it be (narrower for the angle limits)
    std::span<const ParamChoice> choices; // when not empty, the only values, in list order
    std::string_view above;               // key of the value this one must lie above (a maximum's minimum)
    int scale = 1;                        // field units per unit on screen: 10 shows tenths as whole degrees
    std::string_view unit;                // of the field's value; empty for plain numbers
    std::string_view control;             // where the screen edits it ("Roll Setting > Total Gain")
    std::string_view meaning;             // one sentence
};

// The smallest range holding every choice.
constexpr ValueRange RangeOf(std::span<const ParamChoice> choices)
{
    ValueRange r{choices.front().value, choices.front().value};
    for (const ParamChoice& c : choices) {
        r.low = std::min(r.low, c.value);
        r.high = std::max(r.high, c.value);
    }
    return r;
}

// Whether the screens let the parameter take `v`.
template <class S> constexpr bool Allows(const ParamRow<S>& row, std::int64_t v)
{
    if (row.choices.empty())
        return row.range.Contains(v);
    return std::any_of(row.choices.begin(), row.choices.end(), [&](const ParamChoice& c) { return c.value == v; });
}

template <class S> std::int64_t GetParam(const ParamRow<S>& row, const S& s)
{
    return std::visit([&](auto m) { return static_cast<std::int64_t>(s.*m); }, row.member);
}

// Stores `v` cut to the field's width (the low bits, two's complement).
template <class S> void SetParam(const ParamRow<S>& row, S& s, std::int64_t v)
{
    std::visit(
        [&](auto m) {
            using T = std::remove_reference_t<decltype(s.*m)>;
            s.*m = static_cast<T>(v);
        },
        row.member);
}

// The values the field itself can hold.
template <class S> constexpr ValueRange FieldRange(const ParamMember<S>& member)
{
    return std::visit(
        [](auto m) {
            using T = std::remove_reference_t<decltype(std::declval<S&>().*m)>;
            return ValueRange{std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
        },
        member);
}

// How a parameter reaches the board: the values that arrive as they were
// sent, and the step of the values the board keeps (2 for an angle limit,
// which travels halved).
struct WireForm
{
    bool travels = false; // false: no frame carries it; `carried` is the field's own range
    Wire wire = Wire::Fixed;
    ValueRange carried;
    std::int64_t step = 1;
    std::size_t layout = 0; // which of the layouts searched carries it
    std::size_t at = 0;     // its first byte in the frame
    std::uint8_t frame = 0; // the frame type or command of that layout, as its board names it
};

// `member`'s field in the first of `layouts` that carries it.
template <class S>
WireForm WireFormOf(const ParamMember<S>& member, std::span<const std::span<const WireField<S>>> layouts)
{
    const ValueRange field = FieldRange<S>(member);
    for (const auto& layout : layouts) {
        for (const WireField<S>& f : layout) {
            if (f.wire == Wire::Fixed || !(f.member == member))
                continue;
            const bool isSigned = field.low < 0;
            WireForm form{true, f.wire, field, 1, static_cast<std::size_t>(&layout - layouts.data()), f.at};
            switch (f.wire) {
            case Wire::Byte:
                form.carried = isSigned ? ValueRange{-128, 127} : ValueRange{0, 255};
                break;
            case Wire::BE16:
            case Wire::LE16:
                form.carried = isSigned ? ValueRange{-32768, 32767} : ValueRange{0, 65535};
                break;
            case Wire::HalfDegrees:
                // One signed byte of half degrees; truncation toward zero
                // makes an odd value arrive one degree closer to zero.
                form.carried = ValueRange{-256, 254};
                form.step = 2;
                break;
            case Wire::Fixed:
                break;
            }
            form.carried = {std::max(form.carried.low, field.low), std::min(form.carried.high, field.high)};
            return form;
        }
    }
    return WireForm{false, Wire::Fixed, field, 1};
}

// The value the board holds after `v` has travelled in steps of `step`:
// an odd angle limit comes back one degree closer to zero.
constexpr std::int64_t HeldValue(std::int64_t v, std::int64_t step)
{
    return step > 1 ? v / step * step : v;
}

// "0 to 500", or for listed values "1, 2 or 3".
inline std::string AllowedText(ValueRange range, std::span<const ParamChoice> choices)
{
    if (choices.empty())
        return std::to_string(range.low) + " to " + std::to_string(range.high);
    std::vector<std::int64_t> values;
    for (const ParamChoice& c : choices)
        values.push_back(c.value);
    std::sort(values.begin(), values.end());
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += i + 1 == values.size() ? " or " : ", ";
        text += std::to_string(values[i]);
    }
    return text;
}
template <class S> std::string AllowedText(const ParamRow<S>& row)
{
    return AllowedText(row.range, row.choices);
}

} // namespace qav
