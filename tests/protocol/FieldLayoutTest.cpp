#include "protocol/FieldLayout.h"
#include "protocol/ControllerProtocol.h"
#include "protocol/TelemetryChannels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace qav {
namespace {

struct Sample
{
    std::uint8_t u8 = 0;
    std::int8_t s8 = 0;
    std::uint16_t u16 = 0;
    std::int16_t s16 = 0;
    std::int32_t s32 = 0;
    bool operator==(const Sample&) const = default;
};
using SF = WireField<Sample>;

Sample With(const std::function<void(Sample&)>& set)
{
    Sample s;
    set(s);
    return s;
}

struct WireRow
{
    const char* what;
    SF field;
    std::vector<std::uint8_t> bytes; // from byte 14 on
    Sample value;                    // what those bytes are
};

TEST(FieldLayout, EachWireFormTakesAndPutsTheSameBytes)
{
    const WireRow rows[] = {
        {"byte unsigned", {14, Wire::Byte, &Sample::u8}, {0xFE}, With([](Sample& s) { s.u8 = 0xFE; })},
        {"byte signed", {14, Wire::Byte, &Sample::s8}, {0xFE}, With([](Sample& s) { s.s8 = -2; })},
        {"byte into a wide signed member", {14, Wire::Byte, &Sample::s32}, {0x80}, With([](Sample& s) {
             s.s32 = -128;
         })},
        {"big-endian unsigned", {14, Wire::BE16, &Sample::u16}, {0xBE, 0xEF}, With([](Sample& s) {
             s.u16 = 0xBEEF;
         })},
        {"big-endian into a 32-bit member", {14, Wire::BE16, &Sample::s32}, {0xFF, 0x9C}, With([](Sample& s) {
             s.s32 = -100;
         })},
        {"little-endian signed", {14, Wire::LE16, &Sample::s16}, {0x9C, 0xFF}, With([](Sample& s) {
             s.s16 = -100;
         })},
        {"half degrees", {14, Wire::HalfDegrees, &Sample::s32}, {0xEA}, With([](Sample& s) { s.s32 = -44; })},
    };
    for (const WireRow& row : rows) {
        SCOPED_TRACE(row.what);
        const SF fields[] = {row.field};
        Frame in{};
        std::copy(row.bytes.begin(), row.bytes.end(), in.begin() + 14);
        Sample got;
        TakeFields<Sample>(fields, in, got);
        EXPECT_EQ(got, row.value);
        Frame out{};
        PutFields<Sample>(fields, row.value, out);
        EXPECT_EQ(out, in); // nothing written outside the field
    }
}

TEST(FieldLayout, HalfDegreesTruncateTowardZeroAndFixedBytesAreNeverTaken)
{
    const SF fields[] = {{14, Wire::HalfDegrees, &Sample::s32}, FixedByte<Sample>(15, 7)};
    Frame f{};
    PutFields<Sample>(fields, With([](Sample& s) { s.s32 = -45; }), f);
    EXPECT_EQ(f[14], 0xEA);
    EXPECT_EQ(f[15], 7);
    Sample got;
    TakeFields<Sample>(fields, f, got);
    EXPECT_EQ(got, With([](Sample& s) { s.s32 = -44; }));
}

struct FitRow
{
    const char* what;
    std::vector<SF> fields;
    bool fits;
};

TEST(FieldLayout, LayoutsMustStayInTheirBytesWithoutOverlap)
{
    const FitRow rows[] = {
        {"side by side", {{14, Wire::BE16, &Sample::u16}, {16, Wire::Byte, &Sample::u8}}, true},
        {"wide field overlaps the next",
         {{14, Wire::BE16, &Sample::u16}, {15, Wire::Byte, &Sample::u8}},
         false},
        {"same byte twice", {{14, Wire::Byte, &Sample::u8}, FixedByte<Sample>(14, 1)}, false},
        {"later field overlapping an earlier",
         {{20, Wire::Byte, &Sample::u8}, {19, Wire::LE16, &Sample::s16}},
         false},
        {"before the payload", {{13, Wire::Byte, &Sample::u8}}, false},
        {"into the CRC", {{29, Wire::BE16, &Sample::u16}}, false},
        {"last payload byte", {{29, Wire::Byte, &Sample::u8}}, true},
    };
    for (const FitRow& row : rows)
        EXPECT_EQ(FieldsFit<Sample>(row.fields, 14, 30), row.fits) << row.what;
}

// Every byte a controller layout names changes what is decoded, and every
// field is decoded from the bytes the encoder wrote it to.
TEST(ControllerLayouts, EveryFieldRoundTripsAtItsOwnBytes)
{
    for (std::uint8_t type : {kTypeGains, kTypeDirections, kTypeLimits, kTypePan, kTypeReadGains,
                              kTypeReadDirections, kTypeReadLimits, kTypeReadPan}) {
        SCOPED_TRACE(static_cast<int>(type));
        const auto layout = ControllerPayloadLayout(type);
        ASSERT_FALSE(layout.empty());
        for (const auto& field : layout) {
            if (field.wire == Wire::Fixed)
                continue;
            Frame f{};
            f[ctl::kType] = type;
            f[field.at] = 0x2A; // one distinctive byte, sent halved or whole
            ControllerParams taken;
            if (IsUploadType(type))
                ApplyUploadPayload(f, taken);
            else
                DecodeEchoPayload(f, taken);
            EXPECT_NE(taken, ControllerParams{}) << "byte " << field.at;
            Frame again{};
            if (IsUploadType(type))
                EncodeUploadPayload(type, taken, again);
            else
                EncodeEchoPayload(type, taken, again);
            EXPECT_EQ(again[field.at], 0x2A) << "byte " << field.at;
        }
    }
    EXPECT_TRUE(ControllerPayloadLayout(kTypePoll).empty());
    EXPECT_TRUE(ControllerPayloadLayout(0x85).empty());
}

TEST(ControllerLayouts, TelemetryRoundTrips)
{
    ControllerTelemetry t;
    t.counts[kChannelRcRoll] = -100;
    t.counts[kChannelRcTilt] = 100;
    t.counts[kChannelRcPan] = -1;
    t.counts[kChannelRcMode] = 2;
    t.counts[kChannelRcShot] = -128;
    t.counts[kChannelAx] = -981;
    t.counts[kChannelAy] = 12;
    t.counts[kChannelAz] = 32767;
    Frame f{};
    EncodeTelemetryPayload(t, f);
    EXPECT_EQ(f[14], 0x9C);
    EXPECT_EQ(f[20], 0xFC); // -981 big-endian
    EXPECT_EQ(f[21], 0x2B);
    const ControllerTelemetry back = DecodeTelemetry(f);
    EXPECT_EQ(back, t);
}

} // namespace
} // namespace qav
