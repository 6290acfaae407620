#include "protocol/TelemetrySample.h"

#include <cstdio>

namespace qav {
namespace {

const char* MotorText(const std::optional<std::uint8_t>& motor)
{
    return !motor ? "unknown" : *motor == kMotorsOn ? "on" : "off";
}

// Fills `out` with the firmware version, or `unknown` when none came yet.
void FirmwareText(const std::optional<std::uint8_t>& firmware, const char* unknown, char (&out)[16])
{
    if (firmware)
        std::snprintf(out, sizeof out, "%.1f", *firmware * 0.1);
    else
        std::snprintf(out, sizeof out, "%s", unknown);
}

} // namespace

std::string_view TelemetryCsvHeader()
{
    return "t,roll,tilt,pan,rc_roll,rc_tilt,rc_pan,rc_mode,rc_shot,ax,ay,az,motor,firmware";
}

std::string TelemetryCsvRow(double t, const TelemetrySample& s)
{
    char fw[16];
    FirmwareText(s.firmware, "", fw);
    const ControllerTelemetry& v = s.live;
    char line[256];
    std::snprintf(line, sizeof line, "%.3f,%.1f,%.1f,%.1f,%d,%d,%d,%d,%d,%.2f,%.2f,%.2f,%s,%s", t,
                  static_cast<double>(s.roll), static_cast<double>(s.tilt), static_cast<double>(s.pan),
                  v.rcRoll, v.rcTilt, v.rcPan, v.rcMode, v.rcShot, v.accX * 0.01, v.accY * 0.01,
                  v.accZ * 0.01, MotorText(s.motor), fw);
    return line;
}

std::string TelemetryJson(double t, const TelemetrySample& s)
{
    char fw[16];
    FirmwareText(s.firmware, "null", fw);
    const ControllerTelemetry& v = s.live;
    char line[512];
    std::snprintf(line, sizeof line,
                  "{\"t\":%.3f,\"roll\":%.1f,\"tilt\":%.1f,\"pan\":%.1f,\"rc_roll\":%d,\"rc_tilt\":%d,"
                  "\"rc_pan\":%d,\"rc_mode\":%d,\"rc_shot\":%d,\"ax\":%.2f,\"ay\":%.2f,\"az\":%.2f,"
                  "\"motor\":\"%s\",\"firmware\":%s}",
                  t, static_cast<double>(s.roll), static_cast<double>(s.tilt), static_cast<double>(s.pan),
                  v.rcRoll, v.rcTilt, v.rcPan, v.rcMode, v.rcShot, v.accX * 0.01, v.accY * 0.01,
                  v.accZ * 0.01, MotorText(s.motor), fw);
    return line;
}

} // namespace qav
