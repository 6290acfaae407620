#include "motor/MotorProtocol.h"

#include "protocol/ControllerProtocol.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qav {
namespace {

Frame Bytes(std::initializer_list<std::uint8_t> head, std::uint8_t crcHigh, std::uint8_t crcLow)
{
    Frame f{};
    std::size_t i = 0;
    for (std::uint8_t b : head)
        f[i++] = b;
    f[30] = crcHigh;
    f[31] = crcLow;
    return f;
}

struct RequestRow
{
    const char* name;
    std::uint8_t command;
    std::uint8_t flashFlag;
    MotorParams params;
    Frame expected;
};

const MotorParams kParams{14, 80, 14, 60, 0xFF, 0x01};

const RequestRow kRequestRows[] = {
    {"write parameters", 1, 0, kParams,
     Bytes({0xEB, 0x90, 0, 0, 0, 0x01, 0x0E, 0x50, 0x0E, 0x3C}, 0x1C, 0x4E)},
    {"read parameters carries no payload", 17, 0, kParams, Bytes({0xEB, 0x90, 0, 0, 0, 0x11}, 0xE5, 0xFE)},
    {"monitor", 33, 0, kParams, Bytes({0xEB, 0x90, 0, 0, 0, 0x21}, 0xC9, 0xB2)},
};

class MotorRequestTest : public testing::TestWithParam<RequestRow>
{
};

TEST_P(MotorRequestTest, MatchesTheKnownBytes)
{
    const RequestRow& row = GetParam();
    Frame out;
    out.fill(0x55); // nothing may survive from before
    EncodeMotorRequest(row.command, row.flashFlag, row.params, out);
    EXPECT_EQ(out, row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, MotorRequestTest, testing::ValuesIn(kRequestRows), [](const auto& info) {
    std::string n = info.param.name;
    for (char& c : n)
        if (c == ' ')
            c = '_';
    return n;
});

TEST(MotorProtocol, OnlyKnownCommandsAreSentAsTheyAre)
{
    const struct
    {
        std::uint8_t command, byte5;
        bool payload;
    } rows[] = {
        {0, 0, false},   {1, 1, true},    {2, 0, false},   {16, 0, false}, {17, 17, false},
        {18, 18, false}, {33, 33, false}, {34, 34, false}, {35, 0, false}, {255, 0, false},
    };
    for (const auto& r : rows) {
        Frame f;
        EncodeMotorRequest(r.command, 1, kParams, f);
        EXPECT_EQ(f[5], r.byte5) << int(r.command);
        EXPECT_EQ(f[2], 1) << int(r.command);
        EXPECT_EQ(f[6] != 0, r.payload) << int(r.command);
        EXPECT_TRUE(FrameCrcMatches(f));
        const MotorRequest parsed = ParseMotorRequest(f);
        EXPECT_EQ(parsed.command, r.byte5);
        EXPECT_EQ(parsed.flashFlag, 1);
    }
}

TEST(MotorProtocol, WriteRequestParsesBackOnTheBoardSide)
{
    Frame f;
    EncodeMotorRequest(kMotorCmdWrite, kMotorFlashStore, MotorParams{7, 100, 28, 0, 0, 0}, f);
    const MotorRequest r = ParseMotorRequest(f);
    EXPECT_EQ(r.flashFlag, kMotorFlashStore);
    EXPECT_EQ(r.command, kMotorCmdWrite);
    EXPECT_EQ(r.POL_MOTOR1, 7);
    EXPECT_EQ(r.POW_MOTOR1, 100);
    EXPECT_EQ(r.POL_MOTOR2, 28);
    EXPECT_EQ(r.POW_MOTOR2, 0);
}

TEST(MotorProtocol, MonitorReportScalesToVoltsAndAmps)
{
    Frame f{};
    f[0] = 0xEB;
    f[1] = 0x90;
    f[4] = 15;
    f[5] = 33;
    f[6] = 0x2C;
    f[7] = 0x05;
    f[8] = 0xF4;
    f[9] = 0x01;
    SealFrame(f);
    const MotorReply r = ParseMotorReply(f);
    EXPECT_EQ(r.type, 33);
    EXPECT_EQ(r.firmware, 15);
    EXPECT_EQ(r.voltageRaw, 1324);
    EXPECT_EQ(r.currentRaw, 500);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f %.3f", r.Volts(), r.Amps());
    EXPECT_STREQ(text, "11.734 2.014");
    // A monitor report does not pretend to carry parameters.
    EXPECT_EQ(r.params, MotorParams{});
}

TEST(MotorProtocol, RepliesRoundTripByType)
{
    MotorReply report;
    report.type = kMotorCmdRead;
    report.firmware = 15;
    report.flashResult = kMotorFlashFailed;
    report.params = MotorParams{14, 80, 12, 60, 0, 0};
    Frame f;
    EncodeMotorReply(report, f);
    MotorReply back = ParseMotorReply(f);
    EXPECT_EQ(back.type, kMotorCmdRead);
    EXPECT_EQ(back.flashResult, kMotorFlashFailed);
    EXPECT_EQ(back.firmware, 15);
    EXPECT_EQ(back.params, report.params);
    EXPECT_EQ(back.voltageRaw, 0);

    MotorReply monitor;
    monitor.type = kMotorCmdMonitor;
    monitor.voltageRaw = MotorVoltsToRaw(11.7);
    monitor.currentRaw = MotorAmpsToRaw(1.25);
    EncodeMotorReply(monitor, f);
    EXPECT_EQ(f[6] | f[7] << 8, monitor.voltageRaw); // little-endian on the wire
    back = ParseMotorReply(f);
    EXPECT_NEAR(back.Volts(), 11.7, kMotorVoltsPerUnit / 2);
    EXPECT_NEAR(back.Amps(), 1.25, kMotorAmpsPerUnit / 2);
    EXPECT_EQ(back.params, MotorParams{});

    EXPECT_EQ(MotorVoltsToRaw(-1.0), 0);
    EXPECT_EQ(MotorVoltsToRaw(1e9), 65535);
}

TEST(MotorProtocol, MotorReceiverFindsRepliesAndIgnoresControllerFrames)
{
    Frame controller;
    ControllerLinkState link;
    BuildFrame(link, ControllerParams{}, controller);
    MotorReply reply;
    reply.type = kMotorCmdWrite;
    reply.flashResult = kMotorFlashDone;
    Frame motor;
    EncodeMotorReply(reply, motor);

    std::vector<std::uint8_t> stream(controller.begin(), controller.end());
    stream.push_back(0xEB);
    stream.insert(stream.end(), motor.begin(), motor.end());
    std::vector<Frame> found;
    FrameReceiver receiver(kMotorHeader0, kMotorHeader1);
    receiver.Feed(stream.data(), stream.size(), [&](const Frame& f) { found.push_back(f); });
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], motor);
}

} // namespace
} // namespace qav
