#pragma once
// One telemetry answer as the tools print and record it: the attitude the
// same answer carried, its live values, and the motor state and firmware
// version last reported. The field names are shared by `monitor --json`,
// `monitor --csv` and the plot window's recording, so a line of one can be
// read with the names of the other.
#include "protocol/ControllerLink.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qav {

struct TelemetrySample
{
    float roll = 0, tilt = 0, pan = 0; // degrees
    ControllerTelemetry live;
    std::optional<std::uint8_t> motor;    // byte 3 as last reported (1 on, 3 off)
    std::optional<std::uint8_t> firmware; // tenths
};

// "t,roll,tilt,pan,rc_roll,rc_tilt,rc_pan,rc_mode,rc_shot,ax,ay,az,motor,firmware"
std::string_view TelemetryCsvHeader();
// One line without its line end: `t` seconds with three decimals, angles
// with one, accelerations in g with two, motor "on", "off" or "unknown", the
// firmware version with one decimal or empty when not yet reported.
std::string TelemetryCsvRow(double t, const TelemetrySample& s);
// The same fields as one JSON object; an unknown firmware version is null.
std::string TelemetryJson(double t, const TelemetrySample& s);

} // namespace qav
