#include "protocol/ControllerProtocol.h"

#include <gtest/gtest.h>

#include <vector>

namespace qav {
namespace {

Frame Build(const ControllerLinkState& link, const ControllerParams& params)
{
    Frame f;
    f.fill(0xEE); // BuildFrame must not leave anything of an old frame behind
    BuildFrame(link, params, f);
    return f;
}

Frame Expected(std::vector<std::uint8_t> head, std::uint8_t crcHigh, std::uint8_t crcLow)
{
    Frame f{};
    for (std::size_t i = 0; i < head.size(); ++i)
        f[i] = head[i];
    f[30] = crcHigh;
    f[31] = crcLow;
    return f;
}

TEST(BuildFrame, FirstFrameAfterOpeningIsReadBackRequestWithMotorOff)
{
    ControllerLinkState link;
    link.commandCode = kCmdMotorOff;
    link.SelectFrameType(kTypeReadGains);
    EXPECT_EQ(Build(link, {}), Expected({0xAB, 0xCD, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0x81}, 0xB1, 0x1F));
}

TEST(BuildFrame, EmptyGainUploadWithCounterFive)
{
    ControllerLinkState link;
    link.sequenceCounter = 5;
    link.SelectFrameType(kTypeGains);
    EXPECT_EQ(Build(link, {}), Expected({0xAB, 0xCD, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 0xBF, 0x30));
}

struct FieldRow
{
    const char* what;
    std::uint8_t type;
    void (*set)(ControllerParams&);
    std::size_t at;
    std::vector<std::uint8_t> bytes;
};

TEST(BuildFrame, FieldEncodings)
{
    const FieldRow rows[] = {
        {"ROLL_TOTAL 300", kTypeGains, [](ControllerParams& p) { p.ROLL_TOTAL = 300; }, 14, {0x01, 0x2C}},
        {"PITCH_ACC last", kTypeGains, [](ControllerParams& p) { p.PITCH_ACC = 0xBEEF; }, 28, {0xBE, 0xEF}},
        {"ROLL_MAX 45", kTypeLimits, [](ControllerParams& p) { p.ROLL_MAX = 45; }, 20, {0x16}},
        {"ROLL_MIN -45", kTypeLimits, [](ControllerParams& p) { p.ROLL_MIN = -45; }, 21, {0xEA}},
        {"PITCH_MIN -135", kTypeLimits, [](ControllerParams& p) { p.PITCH_MIN = -135; }, 23, {0xBD}},
        {"PITCH_MAX 90", kTypeLimits, [](ControllerParams& p) { p.PITCH_MAX = 90; }, 22, {0x2D}},
        {"INIT_PITCH -1350", kTypePan, [](ControllerParams& p) { p.INIT_PITCH = -1350; }, 22, {0xFA, 0xBA}},
        {"INIT_ROLL 450", kTypePan, [](ControllerParams& p) { p.INIT_ROLL = 450; }, 24, {0x01, 0xC2}},
        {"YAW_INT before YAW_VEL",
         kTypePan,
         [](ControllerParams& p) {
             p.YAW_INT = 0x0102;
             p.YAW_VEL = 0x0304;
         },
         16,
         {0x01, 0x02, 0x03, 0x04}},
        {"ROLL_SERVO_REV -1",
         kTypeDirections,
         [](ControllerParams& p) { p.ROLL_SERVO_REV = -1; },
         14,
         {0xFF}},
        {"servo types fixed",
         kTypeDirections,
         [](ControllerParams& p) { p.ROLL_SERVO_TYPE = 3; },
         23,
         {7, 7, 7}},
        {"servo centres never sent",
         kTypeDirections,
         [](ControllerParams& p) { p.ROLL_SERVO_CENTER = 0x1234; },
         17,
         {0, 0, 0, 0, 0, 0}},
        {"control modes fixed",
         kTypeLimits,
         [](ControllerParams& p) { p.ROLL_CTRL_MODE = 2; },
         14,
         {1, 1, 1}},
        {"receiver, gap, mount",
         kTypeLimits,
         [](ControllerParams& p) {
             p.RECEIVER_TYPE = 2;
             p.INSTALL_MODE = 3;
         },
         17,
         {2, 0, 3}},
        {"RC sensitivities",
         kTypeLimits,
         [](ControllerParams& p) {
             p.ROLL_RC_ACC = 10;
             p.PITCH_RC_ACC = 20;
             p.YAW_RC_ACC = 30;
         },
         24,
         {10, 20, 30, 0}},
        {"default mode", kTypePan, [](ControllerParams& p) { p.DEFAULT_MODE = 2; }, 26, {2, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        ControllerParams params;
        row.set(params);
        ControllerLinkState link;
        link.SelectFrameType(row.type);
        const Frame f = Build(link, params);
        EXPECT_EQ(f[13], row.type) << row.what;
        for (std::size_t i = 0; i < row.bytes.size(); ++i)
            EXPECT_EQ(f[row.at + i], row.bytes[i]) << row.what << " byte " << row.at + i;
        EXPECT_TRUE(FrameCrcMatches(f)) << row.what;
    }
}

TEST(BuildFrame, ReadBackRequestsAndUnknownTypesCarryNoPayload)
{
    ControllerParams params;
    params.ROLL_TOTAL = 500;
    params.INIT_ROLL = -1;
    params.RECEIVER_TYPE = 9;
    for (int type : {0x00, 0x05, 0x7F, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0xFF}) {
        ControllerLinkState link;
        link.commandCode = kCmdCalibrate;
        link.SelectFrameType(static_cast<std::uint8_t>(type));
        const Frame f = Build(link, params);
        EXPECT_EQ(f[13], IsReadBackType(static_cast<std::uint8_t>(type)) ? type : 0) << type;
        EXPECT_EQ(f[4], kCmdCalibrate) << type;
        for (std::size_t i = 14; i < 30; ++i)
            EXPECT_EQ(f[i], 0) << type << " byte " << i;
    }
}

TEST(BuildFrame, CommandChangeTouchesOnlyByteFourAndCrc)
{
    ControllerParams params;
    params.ROLL_TOTAL = 123;
    ControllerLinkState link;
    link.SelectFrameType(kTypeGains);
    const Frame before = Build(link, params);
    link.commandCode = kCmdMotorOn;
    const Frame after = Build(link, params);
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        if (i == 4 || i == 30 || i == 31)
            continue;
        EXPECT_EQ(before[i], after[i]) << i;
    }
    EXPECT_EQ(after[4], kCmdMotorOn);
    EXPECT_NE(before[30] << 8 | before[31], after[30] << 8 | after[31]);
}

ControllerParams FullSet()
{
    ControllerParams p;
    p.ROLL_TOTAL = 120, p.ROLL_VEL = 45, p.ROLL_INT = 7, p.ROLL_ACC = 499;
    p.PITCH_TOTAL = 200, p.PITCH_VEL = 60, p.PITCH_INT = 8, p.PITCH_ACC = 500;
    p.YAW_TOTAL = 11, p.YAW_INT = 12, p.YAW_VEL = 13, p.YAW_ACC = 14;
    p.ROLL_SERVO_REV = -1, p.PITCH_SERVO_REV = 1, p.YAW_SERVO_REV = -1;
    p.ROLL_MAX = 44, p.ROLL_MIN = -44, p.PITCH_MAX = 90, p.PITCH_MIN = -134;
    p.ROLL_SERVO_CENTER = -500, p.PITCH_SERVO_CENTER = 500, p.YAW_SERVO_CENTER = -1;
    p.RECEIVER_TYPE = 8, p.INSTALL_MODE = 3;
    p.ROLL_CTRL_MODE = 2, p.PITCH_CTRL_MODE = 1, p.YAW_CTRL_MODE = 2;
    p.ROLL_SERVO_TYPE = 4, p.PITCH_SERVO_TYPE = 5, p.YAW_SERVO_TYPE = 6;
    p.ROLL_RC_ACC = 100, p.PITCH_RC_ACC = 0, p.YAW_RC_ACC = 55;
    p.INIT_PITCH = -1350, p.INIT_ROLL = 450, p.DEFAULT_MODE = 2;
    return p;
}

TEST(ParameterEcho, DecodesEveryQuarterTheDeviceEncodes)
{
    const ControllerParams device = FullSet();
    ControllerParams pc;
    for (std::uint8_t type : {kTypeReadGains, kTypeReadDirections, kTypeReadLimits, kTypeReadPan}) {
        Frame f{};
        EncodeEchoPayload(type, device, f);
        DecodeEchoPayload(f, pc);
    }
    EXPECT_EQ(pc, device);
}

TEST(ParameterEcho, LimitsComeBackDoubledAndInitialAnglesSignExtended)
{
    Frame f{};
    f[13] = kTypeReadLimits;
    f[20] = 0x16;
    f[22] = 0xBD;
    ControllerParams p;
    DecodeEchoPayload(f, p);
    EXPECT_EQ(p.ROLL_MAX, 44);
    EXPECT_EQ(p.PITCH_MAX, -134);

    Frame pan{};
    pan[13] = kTypeReadPan;
    pan[22] = 0xFA;
    pan[23] = 0xBA;
    DecodeEchoPayload(pan, p);
    EXPECT_EQ(p.INIT_PITCH, -1350);
}

TEST(ParameterUpload, DeviceKeepsItsServoTypesAndControlModes)
{
    const ControllerParams pc = FullSet();
    ControllerParams device;
    device.ROLL_SERVO_TYPE = 1, device.ROLL_CTRL_MODE = 2, device.YAW_SERVO_CENTER = 77;
    ControllerLinkState link;
    for (std::uint8_t type = kTypeGains; type <= kTypePan; ++type) {
        link.SelectFrameType(type);
        Frame f;
        BuildFrame(link, pc, f);
        ApplyUploadPayload(f, device);
    }
    EXPECT_EQ(device.ROLL_SERVO_TYPE, 1);
    EXPECT_EQ(device.ROLL_CTRL_MODE, 2);
    EXPECT_EQ(device.YAW_SERVO_CENTER, 77);
    EXPECT_EQ(device.ROLL_TOTAL, pc.ROLL_TOTAL);
    EXPECT_EQ(device.PITCH_MIN, pc.PITCH_MIN);
    EXPECT_EQ(device.INIT_PITCH, pc.INIT_PITCH);
    EXPECT_EQ(device.YAW_RC_ACC, pc.YAW_RC_ACC);
    EXPECT_EQ(device.YAW_SERVO_REV, pc.YAW_SERVO_REV);
}

TEST(ParameterUpload, OddLimitsArriveOneDegreeCloserToZero)
{
    ControllerParams pc;
    pc.ROLL_MAX = 45, pc.ROLL_MIN = -45, pc.PITCH_MAX = 89, pc.PITCH_MIN = -135;
    ControllerLinkState link;
    link.SelectFrameType(kTypeLimits);
    Frame f;
    BuildFrame(link, pc, f);
    ControllerParams device;
    ApplyUploadPayload(f, device);
    EXPECT_EQ(device.ROLL_MAX, 44);
    EXPECT_EQ(device.ROLL_MIN, -44);
    EXPECT_EQ(device.PITCH_MAX, 88);
    EXPECT_EQ(device.PITCH_MIN, -134);
}

} // namespace
} // namespace qav
