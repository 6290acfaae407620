#include "files/ConfigFileCheck.h"
#include "files/ControllerConfigFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace qav {
namespace {

using test::TempDir;
using test::WriteWholeFile;

// Any key table and section: here one like the motor board's.
constexpr ConfigKeyRange kMotorLike[] = {
    {"POL_MOTOR1", 0, 255},
    {"POW_MOTOR1", 0, 255},
    {"DIR_MOTOR1", -128, 127},
};

TEST(ConfigFileCheck, ValuesMissingKeysAndRefusalsFollowTheTable)
{
    TempDir dir;
    const std::string path = dir.File("m.bmc");
    const struct
    {
        const char* text;
        bool ok;
        const char* values; // "KEY=value;" for each kept value, or the refusal after the path
        const char* missing;
    } rows[] = {
        {"[MOTOR_PARAMETERS]\nPOL_MOTOR1=14\nDIR_MOTOR1=-1\n", true, "POL_MOTOR1=14;DIR_MOTOR1=-1;",
         "POW_MOTOR1"},
        {"[motor_parameters]\r\n POW_MOTOR1 = +255 \r\nPOL_MOTOR1=0\r\nDIR_MOTOR1=127", true,
         "POL_MOTOR1=0;POW_MOTOR1=255;DIR_MOTOR1=127;", ""},
        {"[MOTOR_PARAMETERS]\n", true, "", "POL_MOTOR1, POW_MOTOR1 and DIR_MOTOR1"},
        {"[PARAMETERS]\nPOL_MOTOR1=14\n", false, " has no [MOTOR_PARAMETERS] section.", ""},
        {"[MOTOR_PARAMETERS]\nPOL_MOTOR1=+-1\nPOW_MOTOR1=0x10\nDIR_MOTOR1=-129\n", false,
         " has values its parameters cannot hold: POL_MOTOR1=+-1 (not a whole number), POW_MOTOR1=0x10 (not "
         "a "
         "whole number), DIR_MOTOR1=-129 (-128 to 127).",
         ""},
        {"[MOTOR_PARAMETERS]\nPOL_MOTOR1=99999999999999999999999\n", false,
         " has values its parameters cannot hold: POL_MOTOR1=99999999999999999999999 (0 to 255).", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        WriteWholeFile(path, row.text);
        CheckedConfig checked;
        checked.missing.push_back("stale");
        std::string why;
        ASSERT_EQ(ReadCheckedConfig(path, "MOTOR_PARAMETERS", kMotorLike, checked, why), row.ok) << why;
        if (!row.ok) {
            EXPECT_EQ(why, path + row.values);
            EXPECT_TRUE(checked.values.empty() && checked.missing.empty());
            continue;
        }
        std::string values;
        for (const ConfigValue& v : checked.values)
            values += std::string(v.key) + "=" + std::to_string(v.value) + ";";
        EXPECT_EQ(values, row.values);
        EXPECT_EQ(JoinKeys(checked.missing), row.missing);
    }
}

TEST(ConfigFileCheck, ControllerKeysCarryTheirParametersWidths)
{
    const std::vector<ConfigKeyRange> keys = ControllerConfigKeyRanges();
    ASSERT_EQ(keys.size(), 23u);
    EXPECT_EQ(keys.front().key, "ROLL_ACC");
    EXPECT_EQ(keys.back().key, "DEFAULT_MODE");
    const struct
    {
        const char* key;
        std::int64_t min, max;
    } rows[] = {
        {"ROLL_TOTAL", 0, 65535},
        {"ROLL_MAX", INT32_MIN, INT32_MAX},
        {"ROLL_SERVO_CENTER", -32768, 32767},
        {"PITCH_SERVO_REV", -128, 127},
        {"RECEIVER_TYPE", 0, 255},
        {"INIT_PITCH", INT32_MIN, INT32_MAX},
    };
    for (const auto& row : rows) {
        const auto k =
            std::find_if(keys.begin(), keys.end(), [&](const ConfigKeyRange& r) { return r.key == row.key; });
        ASSERT_NE(k, keys.end()) << row.key;
        EXPECT_EQ(k->min, row.min) << row.key;
        EXPECT_EQ(k->max, row.max) << row.key;
    }
    EXPECT_EQ(std::count_if(keys.begin(), keys.end(),
                            [](const ConfigKeyRange& r) { return r.key == "YAW_SERVO_CENTER"; }),
              0);

    ControllerParams p;
    p.YAW_TOTAL = 9;
    CheckedConfig c;
    c.values = {{"ROLL_TOTAL", 500}, {"ROLL_SERVO_REV", -1}, {"INIT_ROLL", -450}};
    ApplyControllerConfig(c, p);
    EXPECT_EQ(p.ROLL_TOTAL, 500);
    EXPECT_EQ(p.ROLL_SERVO_REV, -1);
    EXPECT_EQ(p.INIT_ROLL, -450);
    EXPECT_EQ(p.YAW_TOTAL, 9);
}

} // namespace
} // namespace qav
