#include "protocol/TelemetrySample.h"

#include <cstdio>

namespace qav {
namespace {

const char* MotorText(const std::optional<std::uint8_t>& motor)
{
    return !motor ? "unknown" : *motor == kMotorsOn ? "on" : "off";
}

// The firmware version, or `unknown` when none came yet.
std::string FirmwareText(const std::optional<std::uint8_t>& firmware, const char* unknown)
{
    if (!firmware)
        return unknown;
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", *firmware * 0.1);
    return text;
}

std::string Seconds(double t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", t);
    return text;
}

} // namespace

std::string_view TelemetryCsvHeader()
{
    static const std::string header = [] {
        std::string h = "t";
        for (const TelemetryChannel& c : kTelemetryChannels)
            h.append(",").append(c.key);
        return h + ",motor,firmware";
    }();
    return header;
}

std::string TelemetryCsvRow(double t, const TelemetrySample& s)
{
    std::string line = Seconds(t);
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
        line += "," + ChannelNumber(i, s.live.Value(i));
    return line + "," + MotorText(s.motor) + "," + FirmwareText(s.firmware, "");
}

std::string TelemetryJson(double t, const TelemetrySample& s)
{
    std::string line = "{\"t\":" + Seconds(t);
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
        line += ",\"" + std::string(kTelemetryChannels[i].key) + "\":" + ChannelNumber(i, s.live.Value(i));
    return line + ",\"motor\":\"" + MotorText(s.motor) +
           "\",\"firmware\":" + FirmwareText(s.firmware, "null") + "}";
}

std::string TelemetryText(const TelemetrySample& s)
{
    std::string line;
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
        line += std::string(kTelemetryChannels[i].key) + " " + ChannelText(i, s.live.Value(i)) + " ";
    return line + "motor " + MotorText(s.motor) + " firmware " + FirmwareText(s.firmware, "-");
}

} // namespace qav
