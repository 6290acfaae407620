#include "motor/MotorConfigFile.h"

#include "support/ParamsPrinter.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qav {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

TEST(MotorConfigFile, SaveWritesTheSectionAndFourKeysInOrder)
{
    TempDir dir;
    const std::string path = dir.File("board.bmc");
    ASSERT_TRUE(SaveMotorConfig(path, MotorParams{14, 80, 255, 0, 0xFF, 0x01}));
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
    ASSERT_TRUE(SaveMotorConfig(path, MotorParams{1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(ReadWholeFile(path),
              "; notes\r\n[other]\r\nx=1\r\n[motor_parameters]\r\npow_motor1=2\r\nEXTRA=7\r\n"
              "POL_MOTOR1=1\r\nPOL_MOTOR2=3\r\nPOW_MOTOR2=4\r\n");
}

TEST(MotorConfigFile, FailedSaveIsReportedAndLeavesNothing)
{
    TempDir dir;
    const std::string path = dir.File("missing-folder/board.bmc");
    const IniWriteResult result = SaveMotorConfig(path, MotorParams{});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, ENOENT);
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
        ASSERT_TRUE(LoadMotorConfig(path, p));
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
    ASSERT_TRUE(LoadMotorConfig(path, p));
    EXPECT_EQ(p, (MotorParams{0, 0, 0, 60, 0, 0}));

    p = MotorParams{9, 9, 9, 9, 0, 0};
    EXPECT_TRUE(LoadMotorConfig(dir.File("none.bmc"), p));
    EXPECT_EQ(p, MotorParams{});
}

TEST(MotorConfigFile, UnreadableFileIsReported)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempDir dir;
    const std::string path = dir.File("board.bmc");
    ASSERT_TRUE(SaveMotorConfig(path, MotorParams{1, 2, 3, 4, 0, 0}));
    ::chmod(path.c_str(), 0);
    MotorParams p;
    errno = 0;
    EXPECT_FALSE(LoadMotorConfig(path, p));
    EXPECT_EQ(errno, EACCES);
}

TEST(MotorConfigFile, RoundTripKeepsEveryByte)
{
    TempDir dir;
    const std::string path = dir.File("board.bmc");
    for (int v = 0; v < 256; v += 51) {
        const auto b = static_cast<std::uint8_t>(v);
        const MotorParams saved{b, static_cast<std::uint8_t>(255 - v), static_cast<std::uint8_t>(v / 2), 7, 0,
                                0};
        ASSERT_TRUE(SaveMotorConfig(path, saved));
        MotorParams back;
        ASSERT_TRUE(LoadMotorConfig(path, back));
        EXPECT_EQ(back, saved);
    }
}

struct CheckRow
{
    const char* name;
    const char* text;          // file contents; nullptr: a folder in its place
    const char* problem;       // what the sentence must contain; "" when the file passes
    std::array<int, 4> values; // -1 for a key left to the board
};

TEST(MotorConfigFile, StrictCheckRefusesWhatIsNotAWholeNumberInRange)
{
    const CheckRow rows[] = {
        {"all_keys",
         "[MOTOR_PARAMETERS]\nPOL_MOTOR1=14\nPOW_MOTOR1=80\nPOL_MOTOR2=0\nPOW_MOTOR2=100\n",
         "",
         {14, 80, 0, 100}},
        {"missing_keys_left_to_the_board",
         "[motor_parameters]\r\n POW_MOTOR2 = 007 \r\n",
         "",
         {-1, -1, -1, 7}},
        {"section_without_keys", "[MOTOR_PARAMETERS]\n", "", {-1, -1, -1, -1}},
        {"no_section", "[PARAMETERS]\nPOL_MOTOR1=14\n", "has no [MOTOR_PARAMETERS] section", {}},
        {"empty_file", "", "has no [MOTOR_PARAMETERS] section", {}},
        {"above_range",
         "[MOTOR_PARAMETERS]\nPOW_MOTOR1=101\n",
         ": POW_MOTOR1=101 is not a whole number from 0 to 100.",
         {}},
        {"several_bad",
         "[MOTOR_PARAMETERS]\nPOL_MOTOR1=-1\nPOW_MOTOR1=1.5\nPOL_MOTOR2=\nPOW_MOTOR2=x\n",
         ": POL_MOTOR1=-1, POW_MOTOR1=1.5, POL_MOTOR2= and POW_MOTOR2=x are not whole numbers",
         {}},
        {"huge", "[MOTOR_PARAMETERS]\nPOL_MOTOR1=99999999999999\n", "POL_MOTOR1=99999999999999 is not", {}},
        {"folder", nullptr, "is not a regular file", {}},
    };
    for (const CheckRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir.File("in.bmc");
        if (row.text)
            WriteWholeFile(path, row.text);
        else
            std::filesystem::create_directory(path);
        const MotorFileCheck check = CheckMotorConfigFile(path);
        EXPECT_EQ(check.ok, *row.problem == 0) << check.problem;
        if (*row.problem) {
            EXPECT_NE(check.problem.find(row.problem), std::string::npos) << check.problem;
            EXPECT_EQ(check.problem.rfind(path, 0), 0u) << check.problem;
            continue;
        }
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(check.values[i] ? int(*check.values[i]) : -1, row.values[i]) << i;
    }
}

TEST(MotorConfigFile, StrictCheckRefusesMissingAndOversizedFiles)
{
    TempDir dir;
    EXPECT_NE(CheckMotorConfigFile(dir.File("none.bmc")).problem.find("No such file"), std::string::npos);
    const std::string big = dir.File("big.bmc");
    WriteWholeFile(big, "[MOTOR_PARAMETERS]\n" + std::string(kMotorFileMaxBytes, ';'));
    const MotorFileCheck check = CheckMotorConfigFile(big);
    EXPECT_FALSE(check.ok);
    EXPECT_NE(check.problem.find("larger than 1 MiB"), std::string::npos) << check.problem;
}

} // namespace
} // namespace qav
