#include "files/ConfigFile.h"

#include "support/ParamsPrinter.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qav {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

TEST(MotorConfigFile, SaveWritesTheSectionAndFourKeysInOrder)
{
    TempDir dir;
    const std::string path = dir.File("board.bmc");
    ASSERT_TRUE(SaveConfig(path, MotorParams{14, 80, 255, 0, 0xFF, 0x01}));
    EXPECT_EQ(ReadWholeFile(path), "[MOTOR_PARAMETERS]\n"
                                   "POL_MOTOR1=14\n"
                                   "POW_MOTOR1=80\n"
                                   "POL_MOTOR2=255\n"
                                   "POW_MOTOR2=0\n");
}

TEST(MotorConfigFile, SaveReplacesKeysAndKeepsEverythingElse)
{
    TempDir dir;
    const std::string path = dir.File("board.bmc");
    WriteWholeFile(path, "; notes\r\n[other]\r\nx=1\r\n[motor_parameters]\r\npow_motor1 = 3\r\nEXTRA=7\r\n");
    ASSERT_TRUE(SaveConfig(path, MotorParams{1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(ReadWholeFile(path),
              "; notes\r\n[other]\r\nx=1\r\n[motor_parameters]\r\npow_motor1=2\r\nEXTRA=7\r\n"
              "POL_MOTOR1=1\r\nPOL_MOTOR2=3\r\nPOW_MOTOR2=4\r\n");
}

TEST(MotorConfigFile, FailedSaveIsReportedAndLeavesNothing)
{
    TempDir dir;
    const std::string path = dir.File("missing-folder/board.bmc");
    const Result result = SaveConfig(path, MotorParams{});
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(result.code, ENOENT);
}

struct LoadRow
{
    const char* text; // value of every key
    std::uint8_t expected;
};

TEST(MotorConfigFile, ValuesAreReadByTheAtolRulesAndCutToAByte)
{
    const LoadRow rows[] = {
        {"14", 14}, {"100", 100}, {"150", 150}, {"300", 44},          {"-1", 255},         {"", 0},
        {"abc", 0}, {" 42x", 42}, {"+7", 7},    {"99999999999", 255}, {"-99999999999", 0}, {"0x10", 0},
        {"256", 0},
    };
    TempDir dir;
    const std::string path = dir.File("board.bmc");
    for (const LoadRow& row : rows) {
        std::string text = "[MOTOR_PARAMETERS]\n";
        for (const char* key : {"POL_MOTOR1", "POW_MOTOR1", "POL_MOTOR2", "POW_MOTOR2"})
            text += std::string(key) + "=" + row.text + "\n";
        WriteWholeFile(path, text);
        MotorParams p{9, 9, 9, 9, 0xFF, 0x01};
        ASSERT_TRUE(LoadConfig(path, p));
        EXPECT_EQ(p, (MotorParams{row.expected, row.expected, row.expected, row.expected, 0xFF, 0x01}))
            << row.text;
    }
}

TEST(MotorConfigFile, MissingKeysSectionOrFileReadAsZero)
{
    TempDir dir;
    const std::string path = dir.File("board.bmc");
    WriteWholeFile(path, "[MOTOR_PARAMETERS]\nPOW_MOTOR2=60\n[PARAMETERS]\nPOL_MOTOR1=5\n");
    MotorParams p{9, 9, 9, 9, 0, 0};
    ASSERT_TRUE(LoadConfig(path, p));
    EXPECT_EQ(p, (MotorParams{0, 0, 0, 60, 0, 0}));

    p = MotorParams{9, 9, 9, 9, 0, 0};
    EXPECT_TRUE(LoadConfig(dir.File("none.bmc"), p));
    EXPECT_EQ(p, MotorParams{});
}

TEST(MotorConfigFile, RoundTripKeepsEveryByte)
{
    TempDir dir;
    const std::string path = dir.File("board.bmc");
    for (int v = 0; v < 256; v += 51) {
        const auto b = static_cast<std::uint8_t>(v);
        const MotorParams saved{b, static_cast<std::uint8_t>(255 - v), static_cast<std::uint8_t>(v / 2), 7, 0,
                                0};
        ASSERT_TRUE(SaveConfig(path, saved));
        MotorParams back;
        ASSERT_TRUE(LoadConfig(path, back));
        EXPECT_EQ(back, saved);
    }
}

// The strict reading takes what a byte holds; the dialog's range is a check
// of its own, which `write` skips when asked to.
TEST(MotorConfigFile, StrictReadingTakesBytesAndTheDialogsRangeIsCheckedApart)
{
    const struct
    {
        const char* text;
        bool ok;
        const char* outside; // OutsideScreenRanges, joined with "|"
        MotorParams applied; // onto {9, 9, 9, 9}
    } rows[] = {
        {"[MOTOR_PARAMETERS]\nPOL_MOTOR1=0\nPOW_MOTOR1=100\nPOL_MOTOR2=+7\nPOW_MOTOR2=014\n",
         true,
         "",
         {0, 100, 7, 14, 0, 0}},
        {"[motor_parameters]\nPOW_MOTOR2=60\n", true, "", {9, 9, 9, 60, 0, 0}},
        {"[MOTOR_PARAMETERS]\nPOW_MOTOR1=101\nPOL_MOTOR2=255\n",
         true,
         "POW_MOTOR1=101 (0 to 100)|POL_MOTOR2=255 (0 to 100)",
         {9, 101, 255, 9, 0, 0}},
        {"[MOTOR_PARAMETERS]\nPOW_MOTOR1=256\n", false, "", {}},
        {"[MOTOR_PARAMETERS]\nPOW_MOTOR1=-1\n", false, "", {}},
        {"[MOTOR_PARAMETERS]\nPOW_MOTOR1=1.5\n", false, "", {}},
        {"[PARAMETERS]\nPOW_MOTOR1=1\n", false, "", {}},
    };
    TempDir dir;
    const std::string path = dir.File("in.bmc");
    const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(BoardOf(BoardId::Motor));
    for (const auto& r : rows) {
        WriteWholeFile(path, r.text);
        CheckedConfig checked;
        const Result read = ReadCheckedConfig(path, BoardOf(BoardId::Motor).section, keys, checked);
        EXPECT_EQ(read.Ok(), r.ok) << r.text << read.message;
        if (!r.ok)
            continue;
        std::string outside;
        for (const std::string& phrase : OutsideScreenRanges(checked, keys, "motor board"))
            outside += (outside.empty() ? "" : "|") + phrase;
        EXPECT_EQ(outside, r.outside) << r.text;
        MotorParams p{9, 9, 9, 9, 0, 0};
        ApplyConfig(checked, p);
        EXPECT_EQ(p, r.applied) << r.text;
    }
}

} // namespace
} // namespace qav
