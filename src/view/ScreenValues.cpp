#include "view/ScreenValues.h"

#include "view/MainScreenTable.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace qav {
namespace {

ValueKind KindOfBox(int box)
{
    if (const ControllerParamRow* param = edit::ParamOfBox(box))
        return param->scale != 1 ? ValueKind::Float : ValueKind::Int;
    for (const TelemetryChannel& c : kTelemetryChannels)
        if (c.box == box)
            return c.decimals > 0 ? ValueKind::Text : ValueKind::Int;
    // A box with a place in the order stands for a parameter or a channel;
    // a test keeps the table so.
    std::abort();
}

} // namespace

std::span<const ExchangeEntry> ExchangeOrder()
{
    static const std::vector<ExchangeEntry> order = [] {
        std::vector<const ControlRow*> rows;
        for (const ControlRow& row : MainScreenControls())
            if (row.exchange > 0)
                rows.push_back(&row);
        std::sort(rows.begin(), rows.end(),
                  [](const ControlRow* a, const ControlRow* b) { return a->exchange < b->exchange; });
        std::vector<ExchangeEntry> entries;
        for (const ControlRow* row : rows)
            entries.push_back({row->id, KindOfBox(row->id)});
        return entries;
    }();
    return order;
}

} // namespace qav
