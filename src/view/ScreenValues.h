#pragma once
// The values behind the main screen's boxes, one per box, keyed by box id.
// They move to and from the boxes only through the screen's "read all
// boxes" and "show all values", which visit the boxes in kExchangeOrder.
#include <QHash>
#include <QString>

#include <array>
#include <cstdint>

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

// Gains; servo centres; angle limits; RC sensitivities; accelerate gains; RC
// monitor; attitude texts; initial angles.
inline constexpr std::array<ExchangeEntry, 32> kExchangeOrder = {{
    {1014, ValueKind::Int},  {1015, ValueKind::Int},  {1016, ValueKind::Int},   {1128, ValueKind::Int},
    {1004, ValueKind::Int},  {1017, ValueKind::Int},  {1231, ValueKind::Int},   {1005, ValueKind::Int},
    {1210, ValueKind::Int},  {1223, ValueKind::Int},  {1220, ValueKind::Int},   {1225, ValueKind::Int},
    {1216, ValueKind::Int},  {1217, ValueKind::Int},  {1213, ValueKind::Int},   {1214, ValueKind::Int},
    {1290, ValueKind::Int},  {1289, ValueKind::Int},  {1291, ValueKind::Int},   {1298, ValueKind::Int},
    {1296, ValueKind::Int},  {1299, ValueKind::Int},  {1305, ValueKind::Int},   {1304, ValueKind::Int},
    {1307, ValueKind::Int},  {1306, ValueKind::Int},  {1316, ValueKind::Int},   {1228, ValueKind::Text},
    {1227, ValueKind::Text}, {1229, ValueKind::Text}, {1361, ValueKind::Float}, {1363, ValueKind::Float},
}};

// Gain slider and the box whose value it shows.
struct SliderBox
{
    int slider;
    int box;
};
inline constexpr std::array<SliderBox, 12> kGainSliders = {{
    {1003, 1017},
    {1011, 1004},
    {1012, 1128},
    {1295, 1296}, // roll
    {1010, 1016},
    {1013, 1015},
    {1002, 1014},
    {1297, 1298}, // tilt
    {1025, 1210},
    {1209, 1005},
    {1230, 1231},
    {1300, 1299}, // pan, hidden
}};

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
