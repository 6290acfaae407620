#include "files/ConfigFile.h"

#include "support/TempDir.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace qav {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

// Every keyed field distinct, signed ones negative where they can be.
ControllerParams Sample()
{
    ControllerParams p;
    p.ROLL_ACC = 11;
    p.ROLL_TOTAL = 300;
    p.ROLL_VEL = 12;
    p.ROLL_INT = 13;
    p.PITCH_ACC = 14;
    p.PITCH_TOTAL = 65535;
    p.PITCH_VEL = 15;
    p.PITCH_INT = 16;
    p.ROLL_MAX = 45;
    p.ROLL_MIN = -45;
    p.PITCH_MAX = 90;
    p.PITCH_MIN = -135;
    p.ROLL_SERVO_CENTER = -500;
    p.PITCH_SERVO_CENTER = 32767;
    p.YAW_SERVO_CENTER = -32768;
    p.ROLL_SERVO_REV = -1;
    p.PITCH_SERVO_REV = 1;
    p.ROLL_RC_ACC = 255;
    p.PITCH_RC_ACC = 50;
    p.INSTALL_MODE = 3;
    p.RECEIVER_TYPE = 9;
    p.INIT_PITCH = -1350;
    p.INIT_ROLL = 450;
    p.DEFAULT_MODE = 2;
    return p;
}

// Fields without a file key, set to values a load must not touch.
void SetKeyless(ControllerParams& p)
{
    p.YAW_TOTAL = 21;
    p.YAW_INT = 22;
    p.YAW_VEL = 23;
    p.YAW_ACC = 24;
    p.YAW_RC_ACC = 25;
    p.YAW_SERVO_REV = -1;
    p.ROLL_CTRL_MODE = 2;
    p.PITCH_CTRL_MODE = 1;
    p.YAW_CTRL_MODE = 2;
    p.ROLL_SERVO_TYPE = 4;
    p.PITCH_SERVO_TYPE = 5;
    p.YAW_SERVO_TYPE = 6;
}

const char* const kSampleText = "[PARAMETERS]\n"
                                "ROLL_ACC=11\nROLL_TOTAL=300\nROLL_VEL=12\nROLL_INT=13\n"
                                "PITCH_ACC=14\nPITCH_TOTAL=65535\nPITCH_VEL=15\nPITCH_INT=16\n"
                                "ROLL_MAX=45\nROLL_MIN=-45\nPITCH_MAX=90\nPITCH_MIN=-135\n"
                                "ROLL_SERVO_CENTER=-500\nPITCH_SERVO_CENTER=32767\nYAW_SERVO_CENTER=-32768\n"
                                "ROLL_SERVO_REV=-1\nPITCH_SERVO_REV=1\n"
                                "ROLL_RC_ACC=255\nPITCH_RC_ACC=50\nINSTALL_MODE=3\nRECEIVER_TYPE=9\n"
                                "INIT_PITCH=-1350\nINIT_ROLL=450\nDEFAULT_MODE=2\n";

TEST(ControllerConfigFile, NewFileListsTheKeysInSaveOrder)
{
    TempDir dir;
    const std::string path = dir.File("c.bgsc");
    ASSERT_TRUE(SaveConfig(path, Sample()).Ok());
    EXPECT_EQ(ReadWholeFile(path), kSampleText);
}

TEST(ControllerConfigFile, RoundTripKeepsKeyedValuesAndLeavesTheRestAlone)
{
    TempDir dir;
    const std::string path = dir.File("c.bgsc");
    ControllerParams saved = Sample();
    SetKeyless(saved); // not written, so they must not come back either
    ASSERT_TRUE(SaveConfig(path, saved).Ok());

    ControllerParams loaded;
    SetKeyless(loaded);
    loaded.YAW_SERVO_CENTER = 77; // written but never read
    loaded.YAW_TOTAL = 99;
    ASSERT_TRUE(LoadConfig(path, loaded));

    ControllerParams expected = saved;
    expected.YAW_SERVO_CENTER = 77;
    expected.YAW_TOTAL = 99;
    EXPECT_EQ(loaded, expected);
}

TEST(ControllerConfigFile, WindowsWrittenFileLoadsTheSame)
{
    const std::string text = "; saved by the Windows tool\r\n"
                             "[Other]\r\nROLL_TOTAL=1\r\n\r\n"
                             "[parameters]\r\n"
                             "roll_acc = 11\r\nRoll_Total= 300 \r\nROLL_VEL =12\r\n\tROLL_INT\t=\t13\r\n"
                             "PITCH_ACC=14\r\nPITCH_TOTAL=65535\r\nPITCH_VEL=15\r\nPITCH_INT=16\r\n"
                             "ROLL_MAX=45\r\nROLL_MIN=-45\r\nPITCH_MAX=90\r\nPITCH_MIN=-135\r\n"
                             "ROLL_SERVO_CENTER=-500\r\nPITCH_SERVO_CENTER=32767\r\n"
                             "ROLL_SERVO_REV=-1\r\nPITCH_SERVO_REV=1\r\nUNKNOWN=5\r\n"
                             "ROLL_RC_ACC=255\r\nPITCH_RC_ACC=50\r\nINSTALL_MODE=3\r\nRECEIVER_TYPE=9\r\n"
                             "INIT_PITCH=-1350\r\nINIT_ROLL=450\r\nDEFAULT_MODE=2\r\n"
                             "[PARAMETERS]\r\nROLL_ACC=999\r\n";
    TempDir dir;
    const std::string path = dir.File("win.ini");
    WriteWholeFile(path, text);
    ControllerParams loaded;
    ASSERT_TRUE(LoadConfig(path, loaded));
    ControllerParams expected = Sample();
    expected.YAW_SERVO_CENTER = 0;
    EXPECT_EQ(loaded, expected);

    // Saving over it rewrites the keyed lines only and keeps their spelling.
    ASSERT_TRUE(SaveConfig(path, loaded).Ok());
    const std::string after = ReadWholeFile(path);
    EXPECT_NE(after.find("; saved by the Windows tool\r\n[Other]\r\nROLL_TOTAL=1\r\n\r\n[parameters]\r\n"
                         "roll_acc=11\r\nRoll_Total=300\r\n"),
              std::string::npos)
        << after;
    EXPECT_NE(after.find("DEFAULT_MODE=2\r\nYAW_SERVO_CENTER=0\r\n[PARAMETERS]\r\nROLL_ACC=999\r\n"),
              std::string::npos)
        << after;
    EXPECT_NE(after.find("UNKNOWN=5\r\n"), std::string::npos);
    EXPECT_EQ(after.find("\n\n["), std::string::npos); // no bare LF lines added
}

struct WidthRow
{
    const char* text;
    const char* key;
    std::int64_t (*field)(const ControllerParams&);
    std::int64_t expected;
};

const WidthRow kWidthRows[] = {
    {"70000", "ROLL_TOTAL", [](const ControllerParams& p) -> std::int64_t { return p.ROLL_TOTAL; }, 4464},
    {"-1", "PITCH_VEL", [](const ControllerParams& p) -> std::int64_t { return p.PITCH_VEL; }, 65535},
    {"-1", "ROLL_SERVO_REV", [](const ControllerParams& p) -> std::int64_t { return p.ROLL_SERVO_REV; }, -1},
    {"255", "ROLL_SERVO_REV", [](const ControllerParams& p) -> std::int64_t { return p.ROLL_SERVO_REV; }, -1},
    {"-1", "RECEIVER_TYPE", [](const ControllerParams& p) -> std::int64_t { return p.RECEIVER_TYPE; }, 255},
    {"300", "PITCH_RC_ACC", [](const ControllerParams& p) -> std::int64_t { return p.PITCH_RC_ACC; }, 44},
    {"-70000", "ROLL_SERVO_CENTER",
     [](const ControllerParams& p) -> std::int64_t { return p.ROLL_SERVO_CENTER; }, -4464},
    {"12abc", "INIT_ROLL", [](const ControllerParams& p) -> std::int64_t { return p.INIT_ROLL; }, 12},
    {"abc", "INIT_ROLL", [](const ControllerParams& p) -> std::int64_t { return p.INIT_ROLL; }, 0},
    {"", "DEFAULT_MODE", [](const ControllerParams& p) -> std::int64_t { return p.DEFAULT_MODE; }, 0},
    {"99999999999", "ROLL_MAX", [](const ControllerParams& p) -> std::int64_t { return p.ROLL_MAX; },
     INT32_MAX},
    {"-99999999999", "PITCH_MIN", [](const ControllerParams& p) -> std::int64_t { return p.PITCH_MIN; },
     INT32_MIN},
    // Past the 32-bit range a value saturates first, then keeps its low bits.
    {"99999999999", "ROLL_ACC", [](const ControllerParams& p) -> std::int64_t { return p.ROLL_ACC; }, 0xFFFF},
};

void PrintTo(const WidthRow& row, std::ostream* os)
{
    *os << row.key << "=" << row.text;
}

class ControllerConfigWidthTest : public testing::TestWithParam<WidthRow>
{
};

TEST_P(ControllerConfigWidthTest, ValueIsCutToTheParameterWidth)
{
    const WidthRow& row = GetParam();
    TempDir dir;
    const std::string path = dir.File("w.ini");
    WriteWholeFile(path, std::string("[PARAMETERS]\n") + row.key + "=" + row.text + "\n");
    ControllerParams p = Sample();
    ASSERT_TRUE(LoadConfig(path, p));
    EXPECT_EQ(row.field(p), row.expected) << row.key << "=" << row.text;
}

INSTANTIATE_TEST_SUITE_P(Rows, ControllerConfigWidthTest, testing::ValuesIn(kWidthRows));

TEST(ControllerConfigFile, ReversedDirectionReadAs255IsSavedAsMinusOne)
{
    TempDir dir;
    const std::string path = dir.File("d.ini");
    WriteWholeFile(path, "[PARAMETERS]\nROLL_SERVO_REV=255\nPITCH_SERVO_REV=-1\n");
    ControllerParams p;
    ASSERT_TRUE(LoadConfig(path, p));
    ASSERT_TRUE(SaveConfig(path, p).Ok());
    const std::string text = ReadWholeFile(path);
    EXPECT_NE(text.find("ROLL_SERVO_REV=-1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("PITCH_SERVO_REV=-1\n"), std::string::npos) << text;
}

TEST(ControllerConfigFile, MissingKeysAndMissingFilesReadAsZero)
{
    TempDir dir;
    const std::string partial = dir.File("p.ini");
    WriteWholeFile(partial, "[PARAMETERS]\nROLL_TOTAL=5\n");
    ControllerParams p = Sample();
    SetKeyless(p);
    ASSERT_TRUE(LoadConfig(partial, p));
    ControllerParams expected;
    SetKeyless(expected);
    expected.ROLL_TOTAL = 5;
    expected.YAW_SERVO_CENTER = Sample().YAW_SERVO_CENTER;
    EXPECT_EQ(p, expected);

    ControllerParams q = Sample();
    EXPECT_TRUE(LoadConfig(dir.File("none.ini"), q));
    expected = ControllerParams{};
    expected.YAW_SERVO_CENTER = Sample().YAW_SERVO_CENTER;
    EXPECT_EQ(q, expected);
}

TEST(ControllerConfigFile, UnreadableFileIsReportedAndNotOverwritten)
{
    TempDir dir;
    const std::string folder = dir.File("folder.bgsc");
    std::filesystem::create_directory(folder);
    ControllerParams p = Sample();
    const Result loaded = LoadConfig(folder, p);
    EXPECT_EQ(loaded.code, EISDIR);
    EXPECT_EQ(loaded.message, std::strerror(EISDIR));
    EXPECT_EQ(p.ROLL_TOTAL, 0);
    const Result r = SaveConfig(folder, Sample());
    EXPECT_FALSE(r.Ok());
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

} // namespace
} // namespace qav
