#pragma once
// One telemetry answer as the tools print and record it: every channel the
// answer carried, and the motor state and firmware version last reported.
// The field names are the channels' keys, shared by `monitor --json`,
// `monitor --csv`, the text lines of `monitor` and the plot window's
// recording, so a line of one can be read with the names of the other.
#include "protocol/TelemetryChannels.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qav {

struct TelemetrySample
{
    ControllerTelemetry live;
    std::optional<std::uint8_t> motor;    // byte 3 as last reported (1 on, 3 off)
    std::optional<std::uint8_t> firmware; // tenths
};

// "t," the channels' keys, ",motor,firmware".
std::string_view TelemetryCsvHeader();
// One line without its line end: `t` seconds with three decimals, each
// channel with its decimals, motor "on", "off" or "unknown", the firmware
// version with one decimal or empty when not yet reported.
std::string TelemetryCsvRow(double t, const TelemetrySample& s);
// The same fields as one JSON object; an unknown firmware version is null.
std::string TelemetryJson(double t, const TelemetrySample& s);
// "roll +30.0 tilt ... az -2.00 motor on firmware 2.3": each key followed by
// its value as the live boxes show it; an unknown firmware version is "-".
std::string TelemetryText(const TelemetrySample& s);

} // namespace qav
