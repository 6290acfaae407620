#include "files/ConfigFileCheck.h"
#include "files/ConfigFile.h"
#include "motor/MotorParamTable.h"
#include "platform/IniFile.h"
#include "protocol/ControllerParamTable.h"

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
        const char* read = ""; // refused for its values: "KEY=value;" for those that could be read
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
         " has values its parameters cannot hold: POL_MOTOR1=99999999999999999999999 (0 to 255).",
         "POW_MOTOR1 and DIR_MOTOR1"},
        // The rest is read all the same, for the caller to name its faults too.
        {"[MOTOR_PARAMETERS]\nPOL_MOTOR1=14\nPOW_MOTOR1=1\x1b[2J\xff\n", false,
         " has values its parameters cannot hold: POW_MOTOR1=1\\x1B[2J\\xFF (not a whole number).", "DIR_MOTOR1",
         "POL_MOTOR1=14;"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        WriteWholeFile(path, row.text);
        CheckedConfig checked;
        checked.missing.push_back("stale");
        const Result r = ReadCheckedConfig(path, "MOTOR_PARAMETERS", kMotorLike, checked);
        ASSERT_EQ(r.Ok(), row.ok) << r.message;
        std::string values;
        for (const ConfigValue& v : checked.values)
            values += std::string(v.key) + "=" + std::to_string(v.value) + ";";
        EXPECT_EQ(JoinKeys(checked.missing), row.missing);
        if (!row.ok) {
            EXPECT_EQ(r.message, path + row.values);
            EXPECT_EQ(values, row.read);
            continue;
        }
        EXPECT_EQ(values, row.values);
    }
}

// A key a slip of the hand made is matched to the parameter it meant; a
// word that is no slip is not matched to anything.
TEST(ConfigFileCheck, TheNearestKeyIsAtMostAFewEditsAway)
{
    const std::vector<ConfigKeyRange> controller = ConfigKeyRanges(BoardOf(BoardId::Controller));
    const std::vector<ConfigKeyRange> motor = ConfigKeyRanges(BoardOf(BoardId::Motor));
    const struct
    {
        const char* name;
        const std::vector<ConfigKeyRange>& keys;
        const char* nearest;
    } rows[] = {
        {"ROLL_TOTL", controller, "ROLL_TOTAL"},      // a letter dropped
        {"ROLL_TOTAAL", controller, "ROLL_TOTAL"},    // one added
        {"roll_totak", controller, "ROLL_TOTAL"},     // case aside, one changed
        {"PTICH_MIN", controller, "PITCH_MIN"},       // two swapped
        {"RECIEVER_TYPE", controller, "RECEIVER_TYPE"},
        {"INSTALLMODE", controller, "INSTALL_MODE"},
        {"POW_MOTR2", motor, "POW_MOTOR2"},
        {"POL_MOTOR3", motor, "POL_MOTOR1"},          // a tie: the first in the table
        {"SPEED", controller, ""},
        {"ROLL", controller, ""},
        {"ROL_TOT", controller, ""},                  // three edits in 7 letters: too far
        {"ROLL_TOTAL", motor, ""},
        {"", controller, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(NearestKey(row.name, row.keys), row.nearest);
        EXPECT_EQ(DidYouMean(row.name, row.keys),
                  *row.nearest ? std::string(row.name) + ": did you mean " + row.nearest + "?" : "");
    }
    EXPECT_EQ(NearestKey(std::string(100000, 'A'), controller), "");
    EXPECT_EQ(DidYouMean("ROLL_TOT\x1b", controller), "ROLL_TOT\\x1B: did you mean ROLL_TOTAL?");
}

TEST(ConfigFileCheck, ControllerKeysCarryTheirParametersWidths)
{
    const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(BoardOf(BoardId::Controller));
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
    ApplyConfig(c, p);
    EXPECT_EQ(p.ROLL_TOTAL, 500);
    EXPECT_EQ(p.ROLL_SERVO_REV, -1);
    EXPECT_EQ(p.INIT_ROLL, -450);
    EXPECT_EQ(p.YAW_TOTAL, 9);
}

} // namespace
} // namespace qav

namespace qav {
namespace {

// Walks both tables: any key added to one is read, checked against its own
// row and written by a save, with no other list to edit.
template <class Rows, class WireOf, class Entries>
void EachKeyIsCheckedByItsRow(Rows rows, WireOf wireOf, std::string_view section,
                              const std::vector<ConfigKeyRange>& keys, Entries entries)
{
    TempDir dir;
    const std::string path = dir.File("one.ini");
    for (const auto& row : rows) {
        if (row.file != FileUse::ReadWrite)
            continue;
        SCOPED_TRACE(std::string(row.key));
        EXPECT_NE(std::find_if(keys.begin(), keys.end(), [&](const ConfigKeyRange& k) { return k.key == row.key; }),
                  keys.end());
        EXPECT_NE(std::find_if(entries.begin(), entries.end(), [&](const IniEntry& e) { return e.key == row.key; }),
                  entries.end());
        const WireForm form = wireOf(row);
        const auto check = [&](std::int64_t value, CheckedConfig& checked) {
            WriteWholeFile(path, "[" + std::string(section) + "]\n" + std::string(row.key) + "=" +
                                     std::to_string(value) + "\n");
            return ReadCheckedConfig(path, section, keys, checked).Ok();
        };
        const std::string key(row.key);
        // Inside: nothing to say.
        const std::int64_t inside = row.choices.empty() ? HeldValue(row.range.high, form.step) : row.choices[0].value;
        CheckedConfig checked;
        ASSERT_TRUE(check(inside, checked));
        EXPECT_TRUE(OutsideScreenRanges(checked, keys, "board").empty()) << inside;
        EXPECT_TRUE(BeyondWhatTravels(checked, keys).empty());
        // Just outside what the screen allows, and still carried.
        std::int64_t outside = row.range.high + form.step;
        if (!row.choices.empty())
            for (std::int64_t v = row.range.low; v <= row.range.high; ++v)
                if (!Allows(row, v))
                    outside = v;
        ASSERT_TRUE(check(outside, checked));
        EXPECT_EQ(OutsideScreenRanges(checked, keys, "board"),
                  std::vector<std::string>{key + "=" + std::to_string(outside) + " (" + AllowedText(row) + ")"});
        // Beyond what the frame carries: refused while reading when the
        // field cannot hold it either, else by the carrying check.
        const std::int64_t beyond = form.carried.high + 1;
        if (FieldRange<typename Rows::value_type::Record>(row.member).Contains(beyond)) {
            ASSERT_TRUE(check(beyond, checked));
            EXPECT_EQ(BeyondWhatTravels(checked, keys),
                      std::vector<std::string>{key + "=" + std::to_string(beyond) + " (" +
                                               std::to_string(form.carried.low) + " to " +
                                               std::to_string(form.carried.high) + ")"});
        } else {
            EXPECT_FALSE(check(beyond, checked));
        }
    }
}

TEST(ConfigFileCheck, EveryKeyOfBothTablesIsCheckedByItsRow)
{
    EachKeyIsCheckedByItsRow(ControllerParamTable(), ControllerWireForm, BoardOf(BoardId::Controller).section,
                             ConfigKeyRanges(BoardOf(BoardId::Controller)),
                             ConfigEntries(ControllerParams{}));
    EachKeyIsCheckedByItsRow(MotorParamTable(), MotorWireForm, BoardOf(BoardId::Motor).section,
                             ConfigKeyRanges(BoardOf(BoardId::Motor)), ConfigEntries(MotorParams{}));
}

TEST(ConfigFileCheck, UnknownKeysLimitsAndStepsAreNamed)
{
    TempDir dir;
    const std::string path = dir.File("c.bgsc");
    const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(BoardOf(BoardId::Controller));
    const struct
    {
        const char* name;
        const char* text;
        const char* unknown;  // joined with "|"
        const char* outside;  // joined with "|"
    } rows[] = {
        {"spellings", "[PARAMETERS]\nroll_total=100\nROLL_TOTLA=5\nFOO=1\nfoo=2\nYAW_SERVO_CENTER=3\n", "ROLL_TOTLA|FOO",
         ""},
        {"crossed and equal", "[PARAMETERS]\nROLL_MAX=-10\nROLL_MIN=20\nPITCH_MAX=0\nPITCH_MIN=0\n", "",
         "ROLL_MAX=-10 is not above ROLL_MIN=20|PITCH_MAX=0 is not above PITCH_MIN=0"},
        {"one side of a pair", "[PARAMETERS]\nROLL_MAX=-10\n", "", ""},
        {"odd limit", "[PARAMETERS]\nROLL_MIN=-45\n", "",
         "ROLL_MIN=-45: the board keeps limits in steps of 2; use -44"},
    };
    const auto joined = [](const auto& list) {
        std::string text;
        for (const auto& s : list)
            text += (text.empty() ? "" : "|") + std::string(s);
        return text;
    };
    const std::vector<std::string_view> writeOnly = ConfigWriteOnlyKeys(BoardOf(BoardId::Controller));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteWholeFile(path, row.text);
        CheckedConfig checked;
        const Result r =
            ReadCheckedConfig(path, BoardOf(BoardId::Controller).section, keys, checked, writeOnly);
        ASSERT_TRUE(r) << r.message;
        EXPECT_EQ(joined(checked.unknown), row.unknown);
        EXPECT_EQ(joined(OutsideScreenRanges(checked, keys, "board")), row.outside);
    }
    // The crossings a board's own values make with a file's.
    const auto crossed = CrossedValues(keys, [](std::string_view key) -> std::optional<std::int64_t> {
        if (key == "ROLL_MAX")
            return -10;
        if (key == "ROLL_MIN")
            return -10;
        return std::nullopt;
    });
    ASSERT_EQ(crossed.size(), 1u);
    EXPECT_EQ(CrossingText(crossed[0]), "ROLL_MAX=-10 is not above ROLL_MIN=-10");
}

} // namespace
} // namespace qav
