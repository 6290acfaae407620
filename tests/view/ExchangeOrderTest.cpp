#include "view/ControlIds.h"
#include "view/EditTables.h"
#include "view/MainScreenTable.h"
#include "view/ScreenValues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace qav {
namespace {

const ControlRow* RowOf(int id)
{
    for (const ControlRow& row : MainScreenControls())
        if (row.id == id)
            return &row;
    return nullptr;
}

// The order the screen has always read its boxes in, written out: the
// first box that does not parse gets the focus, so the order is seen.
TEST(ExchangeOrder, IsTheScreensOrderOfOld)
{
    using K = ValueKind;
    const std::vector<std::pair<int, K>> expected = {
        {1014, K::Int},   {1015, K::Int},   {1016, K::Int}, {1128, K::Int},  {1004, K::Int},  {1017, K::Int},
        {1231, K::Int},   {1005, K::Int},   {1210, K::Int}, {1223, K::Int},  {1220, K::Int},  {1225, K::Int},
        {1216, K::Int},   {1217, K::Int},   {1213, K::Int}, {1214, K::Int},  {1290, K::Int},  {1289, K::Int},
        {1291, K::Int},   {1298, K::Int},   {1296, K::Int}, {1299, K::Int},  {1305, K::Int},  {1304, K::Int},
        {1307, K::Int},   {1306, K::Int},   {1316, K::Int}, {1228, K::Text}, {1227, K::Text}, {1229, K::Text},
        {1361, K::Float}, {1363, K::Float},
    };
    std::vector<std::pair<int, K>> derived;
    for (const ExchangeEntry& e : kExchangeOrder)
        derived.emplace_back(e.box, e.kind);
    EXPECT_EQ(derived, expected);
}

// Every box that edits a parameter, and every live box but the
// accelerations (which keep no screen value), is read and shown, once.
TEST(ExchangeOrder, HoldsEveryValueBoxOnce)
{
    std::map<int, int> seen;
    for (const ExchangeEntry& e : kExchangeOrder)
        ++seen[e.box];
    for (const auto& [box, count] : seen)
        EXPECT_EQ(count, 1) << box;

    for (const ControlRow& row : MainScreenControls()) {
        const bool accel = row.id == idc::AccelX || row.id == idc::AccelY || row.id == idc::AccelZ;
        const bool valueBox =
            row.type == ControlType::Edit || (row.type == ControlType::ReadOnlyEdit && !accel);
        EXPECT_EQ(seen.count(row.id), valueBox ? 1u : 0u) << row.id;
        if (row.type == ControlType::Edit) {
            EXPECT_NE(edit::ParamOfBox(row.id), nullptr) << row.id;
        }
    }
    for (const TelemetryChannel& c : kTelemetryChannels)
        if (c.box != 0) {
            EXPECT_NE(RowOf(c.box), nullptr) << c.key;
        }
}

// A slider shows a gain box: the slider is the table's slider, the box an
// integer of the exchange, each slider and each box once.
TEST(ExchangeOrder, GainSlidersPairSlidersWithIntegerBoxes)
{
    std::map<int, int> sliders, boxes;
    for (const SliderBox& pair : kGainSliders) {
        ++sliders[pair.slider];
        ++boxes[pair.box];
        const ControlRow* slider = RowOf(pair.slider);
        ASSERT_NE(slider, nullptr) << pair.slider;
        EXPECT_EQ(slider->type, ControlType::Slider) << pair.slider;
        const auto entry = std::find_if(kExchangeOrder.begin(), kExchangeOrder.end(),
                                        [&](const ExchangeEntry& e) { return e.box == pair.box; });
        ASSERT_NE(entry, kExchangeOrder.end()) << pair.box;
        EXPECT_EQ(entry->kind, ValueKind::Int) << pair.box;
        // A shown slider is labelled by its box's label.
        if (!slider->hidden) {
            EXPECT_EQ(slider->label, RowOf(pair.box)->label) << pair.slider;
        }
    }
    std::size_t sliderRows = 0;
    for (const ControlRow& row : MainScreenControls())
        sliderRows += row.type == ControlType::Slider;
    EXPECT_EQ(sliders.size(), sliderRows);
    EXPECT_EQ(boxes.size(), kGainSliders.size());
}

} // namespace
} // namespace qav
