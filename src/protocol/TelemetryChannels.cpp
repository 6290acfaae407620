#include "protocol/TelemetryChannels.h"

#include <charconv>

namespace qav {
namespace {

// Every channel in the attitude bytes or in the payload, none over another.
constexpr bool ChannelsFit()
{
    if (!RowsFit<TelemetryChannel>(kTelemetryChannels, ctl::kRoll, kCrcCoveredBytes))
        return false;
    for (const TelemetryChannel& c : kTelemetryChannels) {
        if (c.wire != Wire::Byte && c.wire != Wire::BE16 && c.wire != Wire::LE16)
            return false;
        if (c.InEveryAnswer() ? c.End() > ctl::kPan + 2 : c.at < ctl::kPayload)
            return false;
    }
    return true;
}
static_assert(ChannelsFit());

std::string Printed(std::size_t channel, double value, bool plus)
{
    // Shown up to 50 times a second per channel: to_chars rounds as printf's
    // "%.*f" does (both exactly), at a fraction of its cost.
    char text[48];
    char* at = text;
    if (plus && value >= 0)
        *at++ = '+';
    const auto done = std::to_chars(at, std::end(text), value, std::chars_format::fixed,
                                    kTelemetryChannels[channel].decimals);
    return std::string(text, done.ptr);
}

} // namespace

void PutChannel(Frame& f, std::size_t channel, std::int32_t count)
{
    const TelemetryChannel& c = kTelemetryChannels[channel];
    PutWire(f, c.at, c.wire, count);
}

std::int32_t TakeChannel(const Frame& f, std::size_t channel)
{
    const TelemetryChannel& c = kTelemetryChannels[channel];
    return static_cast<std::int32_t>(SignedWire(TakeWire(f, c.at, c.wire), c.wire));
}

ControllerTelemetry DecodeTelemetry(const Frame& f)
{
    ControllerTelemetry t;
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
        t.counts[i] = TakeChannel(f, i);
    return t;
}

void EncodeTelemetryPayload(const ControllerTelemetry& t, Frame& f)
{
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
        if (!kTelemetryChannels[i].InEveryAnswer())
            PutChannel(f, i, t.counts[i]);
}

std::string ChannelText(std::size_t channel, double value)
{
    return Printed(channel, value, kTelemetryChannels[channel].plus);
}

std::string ChannelNumber(std::size_t channel, double value)
{
    return Printed(channel, value, false);
}

} // namespace qav
