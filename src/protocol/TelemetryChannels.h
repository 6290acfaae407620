#pragma once
// The controller's telemetry channels, once: where each sits in an answer,
// what one count of it is worth, how it is written, and where it is shown.
// The link's decoding, the simulator's answers, the main screen's live
// boxes, the live plots, and the CSV, JSON and text lines of `monitor` all
// read this table, so a new channel is one row here plus whatever its
// own front end does with it (a box on the form, a model in the
// simulator).
#include "protocol/ControllerProtocol.h"
#include "protocol/FieldLayout.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qav {

// Channels of one group share a unit and a chart of the live plots.
enum class ChannelGroup : std::uint8_t { Attitude, Rc, Acceleration };
inline constexpr std::size_t kChannelGroupCount = 3;

struct TelemetryChannel
{
    std::string_view key;   // field name of the CSV header, JSON and text lines
    std::string_view label; // legend and values line of the plots
    ChannelGroup group;
    std::size_t at; // first byte in the answer
    Wire wire;      // Byte or 16 bits; always read signed
    double scale;   // value of one count in the group's unit
    int decimals;   // digits after the point
    bool plus;      // the live box and the text line put "+" before values of 0 or more
    int box;        // the main screen's live box; 0 for none

    constexpr std::size_t End() const { return at + WireWidth(wire); }
    // The attitude comes with every answer, the rest with telemetry answers
    // only.
    constexpr bool InEveryAnswer() const { return at < ctl::kPayload; }
};

// In the order of the CSV columns.
inline constexpr std::array<TelemetryChannel, 11> kTelemetryChannels{{
    {"roll", "Roll", ChannelGroup::Attitude, ctl::kRoll, Wire::LE16, 0.1, 1, true, 1227},
    {"tilt", "Tilt", ChannelGroup::Attitude, ctl::kTilt, Wire::LE16, 0.1, 1, true, 1228},
    {"pan", "Pan", ChannelGroup::Attitude, ctl::kPan, Wire::LE16, 0.1, 1, true, 1229},
    {"rc_roll", "RC roll", ChannelGroup::Rc, 14, Wire::Byte, 1, 0, false, 1304},
    {"rc_tilt", "RC tilt", ChannelGroup::Rc, 15, Wire::Byte, 1, 0, false, 1305},
    {"rc_pan", "RC pan", ChannelGroup::Rc, 16, Wire::Byte, 1, 0, false, 1306},
    {"rc_mode", "RC mode", ChannelGroup::Rc, 17, Wire::Byte, 1, 0, false, 1307},
    {"rc_shot", "RC shot", ChannelGroup::Rc, 18, Wire::Byte, 1, 0, false, 1316},
    {"ax", "AX", ChannelGroup::Acceleration, 20, Wire::BE16, 0.01, 2, true, 1367},
    {"ay", "AY", ChannelGroup::Acceleration, 22, Wire::BE16, 0.01, 2, true, 1368},
    {"az", "AZ", ChannelGroup::Acceleration, 24, Wire::BE16, 0.01, 2, true, 1369},
}};
inline constexpr std::size_t kTelemetryChannelCount = kTelemetryChannels.size();

// The row of `key`; an unknown key does not compile where a constant is
// needed.
consteval std::size_t ChannelIndex(std::string_view key)
{
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
        if (kTelemetryChannels[i].key == key)
            return i;
    throw "no telemetry channel of that name";
}

// The channels the front ends give a meaning of their own.
inline constexpr std::size_t kChannelRoll = ChannelIndex("roll");
inline constexpr std::size_t kChannelTilt = ChannelIndex("tilt");
inline constexpr std::size_t kChannelPan = ChannelIndex("pan");
inline constexpr std::size_t kChannelRcRoll = ChannelIndex("rc_roll");
inline constexpr std::size_t kChannelRcTilt = ChannelIndex("rc_tilt");
inline constexpr std::size_t kChannelRcPan = ChannelIndex("rc_pan");
inline constexpr std::size_t kChannelRcMode = ChannelIndex("rc_mode");
inline constexpr std::size_t kChannelRcShot = ChannelIndex("rc_shot");
inline constexpr std::size_t kChannelAx = ChannelIndex("ax");
inline constexpr std::size_t kChannelAy = ChannelIndex("ay");
inline constexpr std::size_t kChannelAz = ChannelIndex("az");

// How many channels `group` has, and the rows of its channels in table
// order.
consteval std::size_t ChannelsInGroup(ChannelGroup group)
{
    std::size_t n = 0;
    for (const TelemetryChannel& c : kTelemetryChannels)
        n += c.group == group;
    return n;
}
template <ChannelGroup G> consteval std::array<std::size_t, ChannelsInGroup(G)> ChannelsOf()
{
    std::array<std::size_t, ChannelsInGroup(G)> out{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
        if (kTelemetryChannels[i].group == G)
            out[n++] = i;
    return out;
}

// One answer's channels as the counts on the wire, in table order.
struct ControllerTelemetry
{
    std::array<std::int32_t, kTelemetryChannelCount> counts{};

    std::int32_t Count(std::size_t channel) const { return counts[channel]; }
    double Value(std::size_t channel) const { return counts[channel] * kTelemetryChannels[channel].scale; }
    bool operator==(const ControllerTelemetry&) const = default;
};

// One channel's count, at its place in a frame.
void PutChannel(Frame& frame, std::size_t channel, std::int32_t count);
std::int32_t TakeChannel(const Frame& frame, std::size_t channel);

// Every channel of an answer: the attitude and, whatever its type, the
// payload read as telemetry.
ControllerTelemetry DecodeTelemetry(const Frame& frame);
// The payload of a plain answer (type 0, or any the PC did not ask for):
// the channels that do not come with every answer.
void EncodeTelemetryPayload(const ControllerTelemetry& telemetry, Frame& frame);

// A channel's value as the live boxes and the text lines show it: "+30.0",
// "-2.00", "-100".
std::string ChannelText(std::size_t channel, double value);
// As the CSV and JSON lines write it: never a "+".
std::string ChannelNumber(std::size_t channel, double value);

} // namespace qav
