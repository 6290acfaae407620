#include "view/LiveDisplays.h"

#include "protocol/ControllerProtocol.h"
#include "ui/FormHost.h"
#include "ui/ImageBar.h"
#include "ui/LiveBox.h"
#include "view/ControlIds.h"
#include "view/ScreenValues.h"

#include <algorithm>
#include <cmath>

namespace qav {
namespace {

constexpr int kRcModeBarMax = 200;
constexpr int kRcModeBarOffset = 100;

// What the controller keeps up to date while it answers: greyed while the
// link is down, since their values are then old.
constexpr std::size_t kChannelBoxes = [] {
    std::size_t n = 0;
    for (const TelemetryChannel& c : kTelemetryChannels)
        n += c.box != 0;
    return n;
}();
constexpr auto kLiveDisplays = [] {
    std::array<int, kChannelBoxes + 2> ids{};
    std::size_t n = 0;
    for (const TelemetryChannel& c : kTelemetryChannels)
        if (c.box != 0)
            ids[n++] = c.box;
    ids[n++] = idc::RcModeBar;
    ids[n] = idc::AttitudeArea;
    return ids;
}();

QString ChannelBoxText(std::size_t channel, double value)
{
    return QString::fromStdString(ChannelText(channel, value));
}

} // namespace

void LiveDisplays::Init()
{
    show3d_.Init(form_.Control(idc::AttitudeArea), 0, 0.8);
    if (auto* bar = qobject_cast<CImageBar*>(form_.Control(idc::RcModeBar)))
        bar->SetRange(0, kRcModeBarMax);
}

void LiveDisplays::SetLiveText(int id, const QString& text)
{
    // Runs 50 times a second: a box is only touched (and repainted) when
    // its text changes.
    if (auto* live = qobject_cast<CLiveBox*>(form_.Control(id)))
        live->SetLiveText(text);
    else if (form_.Text(id) != text)
        form_.SetText(id, text);
}

bool LiveDisplays::IsLiveDisplay(int id)
{
    return std::find(kLiveDisplays.begin(), kLiveDisplays.end(), id) != kLiveDisplays.end();
}

void LiveDisplays::ForgetShownValues()
{
    attitudeShown_.reset();
    telemetryShown_.reset();
}

void LiveDisplays::SetStale(bool stale)
{
    if (stale_ == stale)
        return;
    stale_ = stale;
    for (int id : kLiveDisplays)
        form_.Enable(id, !stale);
    // Greyed or back: the next answer shows every value again, also one
    // equal to the last shown.
    ForgetShownValues();
}

void LiveDisplays::ShowAttitude()
{
    const ControllerLinkState& s = link_;
    const std::array<float, 3> attitude{s.roll, s.tilt, s.pan};
    if (attitudeShown_ == attitude)
        return;
    attitudeShown_ = attitude;
    show3d_.Update(s.roll, s.tilt, s.pan);
    for (const auto& [channel, angle] :
         {std::pair{kChannelRoll, s.roll}, std::pair{kChannelTilt, s.tilt}, std::pair{kChannelPan, s.pan}})
        ShowChannel(channel, angle);
}

void LiveDisplays::ShowChannel(std::size_t channel, double value)
{
    const int box = kTelemetryChannels[channel].box;
    if (box == 0)
        return;
    // The box's screen value keeps up, so showing all values (after each
    // quarter of a read-back) puts back what is shown, not an old value.
    const auto entry = std::find_if(kExchangeOrder.begin(), kExchangeOrder.end(),
                                    [box](const ExchangeEntry& e) { return e.box == box; });
    if (entry != kExchangeOrder.end()) {
        switch (entry->kind) {
        case ValueKind::Int:
            values_.Int(box) = static_cast<std::int32_t>(std::lround(value));
            break;
        case ValueKind::Float:
            values_.Float(box) = static_cast<float>(value);
            break;
        case ValueKind::Text:
            break; // the box's own text (WriteOutScreenTexts)
        }
    }
    // A live box writes the value out only when it paints it.
    if (auto* live = qobject_cast<CLiveBox*>(form_.Control(box)))
        live->SetLiveValue(value, &ChannelBoxText, channel);
    else
        SetLiveText(box, ChannelBoxText(channel, value));
}

void LiveDisplays::WriteOutScreenTexts()
{
    for (const ExchangeEntry& entry : kExchangeOrder)
        if (entry.kind == ValueKind::Text && IsLiveDisplay(entry.box))
            values_.Text(entry.box) = form_.Text(entry.box);
}

void LiveDisplays::ShowTelemetry(const ControllerTelemetry& t)
{
    // Only the values that changed since the last answer are formatted. The
    // attitude, which every answer brings, is ShowAttitude's.
    for (std::size_t c = 0; c < kTelemetryChannelCount; ++c)
        if (!kTelemetryChannels[c].InEveryAnswer() &&
            (!telemetryShown_ || telemetryShown_->Count(c) != t.Count(c)))
            ShowChannel(c, t.Value(c));
    telemetryShown_ = t;
    if (auto* bar = qobject_cast<CImageBar*>(form_.Control(idc::RcModeBar)))
        bar->SetPos(t.Count(kChannelRcMode) + kRcModeBarOffset);
    // The answer's attitude with its other values, in the same repaint; the
    // next tick then finds nothing new to show.
    ShowAttitude();
}

} // namespace qav
