#pragma once
// The values behind the main screen's boxes, one per box, keyed by box id.
// They move to and from the boxes only through the screen's "read all
// boxes" and "show all values", which visit the boxes in kExchangeOrder.
#include "view/EditTables.h"

#include <QHash>
#include <QString>

#include <array>
#include <cstdint>
#include <span>

namespace qav {

enum class ValueKind {
    Int,   // signed 32-bit, "%d"
    Float, // 32-bit float, degrees, "%.*g" with 6 digits
    Text,  // shown as it is, never parsed
};

struct ExchangeEntry
{
    int box;
    ValueKind kind;
};

// The boxes of the main screen table that have a place in its `exchange`
// column, in that order. A parameter's box holds an Int, or a Float when
// the screen shows the parameter scaled (degrees of tenths); a telemetry
// channel's box an Int, or the Text shown when the channel has decimals.
// Built once.
std::span<const ExchangeEntry> ExchangeOrder();
inline const std::span<const ExchangeEntry> kExchangeOrder = ExchangeOrder();

// Gain slider and the box whose value it shows: the gain rows' own.
struct SliderBox
{
    int slider;
    int box;
};
inline constexpr auto kGainSliders = [] {
    std::array<SliderBox, edit::kGains.size()> pairs{};
    for (std::size_t i = 0; i < pairs.size(); ++i)
        pairs[i] = {edit::kGains[i].slider, edit::kGains[i].box};
    return pairs;
}();

// All values start at 0 (texts empty).
class ScreenValues
{
public:
    std::int32_t& Int(int box) { return ints_[box]; }
    std::int32_t Int(int box) const { return ints_.value(box, 0); }
    float& Float(int box) { return floats_[box]; }
    float Float(int box) const { return floats_.value(box, 0.0f); }
    QString& Text(int box) { return texts_[box]; }
    QString Text(int box) const { return texts_.value(box); }

private:
    QHash<int, std::int32_t> ints_;
    QHash<int, float> floats_;
    QHash<int, QString> texts_;
};

} // namespace qav
