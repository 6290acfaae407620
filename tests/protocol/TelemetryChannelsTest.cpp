// The telemetry channel table against the bytes of an answer and the lines
// the tools write. The cases that walk the table cover a channel added to it
// without being touched.
#include "protocol/TelemetryChannels.h"
#include "protocol/TelemetrySample.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <vector>

namespace qav {
namespace {

// A count every wire form carries, different for each channel, negative so
// that no "+" comes before it.
std::int32_t Distinct(std::size_t channel)
{
    return -static_cast<std::int32_t>(11 + 7 * channel);
}

// The value written with the channel's decimals, worked out here.
std::string Written(std::size_t channel, std::int32_t count)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", kTelemetryChannels[channel].decimals,
                  count * kTelemetryChannels[channel].scale);
    return text;
}

std::vector<std::string> Split(const std::string& line, char by)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string part; std::getline(in, part, by);)
        out.push_back(part);
    return out;
}

TEST(TelemetryChannels, AnswerBytesAreShownAsTheLiveBoxesShowThem)
{
    struct Row
    {
        std::size_t channel;
        std::uint8_t first, second; // bytes from the channel's place on
        const char* shown;
        const char* written; // CSV and JSON
    };
    const Row rows[] = {
        {kChannelRoll, 0x2C, 0x01, "+30.0", "30.0"}, {kChannelTilt, 0xD4, 0xFE, "-30.0", "-30.0"},
        {kChannelPan, 0x00, 0x00, "+0.0", "0.0"},    {kChannelAx, 0xFF, 0x38, "-2.00", "-2.00"},
        {kChannelAy, 0x00, 0x00, "+0.00", "0.00"},   {kChannelAz, 0x00, 0x64, "+1.00", "1.00"},
        {kChannelRcMode, 0x9C, 0, "-100", "-100"},   {kChannelRcShot, 0x64, 0, "100", "100"},
        {kChannelRcTilt, 0x80, 0, "-128", "-128"},   {kChannelRcRoll, 0x00, 0, "0", "0"},
    };
    for (const Row& row : rows) {
        const TelemetryChannel& c = kTelemetryChannels[row.channel];
        SCOPED_TRACE(std::string(c.key));
        Frame f{};
        f[c.at] = row.first;
        if (c.End() - c.at == 2)
            f[c.at + 1] = row.second;
        const ControllerTelemetry t = DecodeTelemetry(f);
        EXPECT_EQ(ChannelText(row.channel, t.Value(row.channel)), row.shown);
        EXPECT_EQ(ChannelNumber(row.channel, t.Value(row.channel)), row.written);
    }
}

TEST(TelemetryChannels, EachChannelReachesTheCsvJsonAndTextLinesUnderItsKey)
{
    const std::vector<std::string> header = Split(std::string(TelemetryCsvHeader()), ',');
    ASSERT_EQ(header.size(), kTelemetryChannelCount + 3); // t, the channels, motor, firmware
    EXPECT_EQ(header.front(), "t");
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i) {
        const std::string key(kTelemetryChannels[i].key);
        SCOPED_TRACE(key);
        TelemetrySample s;
        s.live.counts[i] = Distinct(i);
        s.motor = kMotorsOff;
        s.firmware = 17;
        const std::string value = Written(i, Distinct(i));

        EXPECT_EQ(header[i + 1], key);
        const std::vector<std::string> row = Split(TelemetryCsvRow(2.5, s), ',');
        ASSERT_EQ(row.size(), header.size());
        EXPECT_EQ(row[i + 1], value);
        EXPECT_EQ(row.back(), "1.7");

        const std::string json = TelemetryJson(2.5, s);
        EXPECT_NE(json.find(",\"" + key + "\":" + value + ","), std::string::npos) << json;

        const std::string text = TelemetryText(s);
        EXPECT_NE((" " + text).find(" " + key + " " + value + " "), std::string::npos) << text;
        EXPECT_EQ(Split(text, ' ').size(), 2 * header.size() - 2) << text; // key and value, no t
    }
}

} // namespace
} // namespace qav
