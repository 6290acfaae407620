#include "view/ScreenStore.h"

#include "view/EditTables.h"
#include "view/ScreenBoxes.h"

#include <cmath>
#include <limits>

namespace qav {
namespace {

using namespace edit;

// Degrees to tenths, rounded half away from zero. Computed in double, so
// that 12.35 (held as a float a hair above) gives 124 and -0.05 gives -1;
// saturated, since an angle typed into the other box may be anything a
// float can hold.
std::int32_t Tenths(float degrees)
{
    const double scaled = static_cast<double>(degrees) * 10.0;
    const double rounded = std::trunc(scaled >= 0 ? scaled + 0.5 : scaled - 0.5);
    constexpr double kLow = std::numeric_limits<std::int32_t>::min();
    constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(rounded, kLow, kHigh));
}

} // namespace

void ScreenStore::Gains()
{
    boxes_.ReadAll();
    for (const GainRow& g : kGains)
        params_.*g.param = static_cast<std::uint16_t>(boxes_.Values().Int(g.box));
}

void ScreenStore::LimitsAndRc()
{
    boxes_.ReadAll();
    for (const LimitRow& l : kLimits)
        params_.*l.param = boxes_.Values().Int(l.box);
    for (const auto& rc : kRcSensitivities)
        params_.*rc.param = static_cast<std::uint8_t>(boxes_.Values().Int(rc.box));
}

void ScreenStore::ServoCenters()
{
    for (const auto& c : kServoCenters)
        params_.*c.param = static_cast<std::int16_t>(boxes_.Values().Int(c.box));
}

void ScreenStore::InitAngles()
{
    boxes_.ReadAll();
    for (const InitAngleRow& a : kInitAngles)
        params_.*a.param = Tenths(boxes_.Values().Float(a.box));
}

} // namespace qav
