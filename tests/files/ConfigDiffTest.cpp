// Comparing configuration files by their load rules: missing keys,
// duplicates, CRLF line ends, spellings of the same number.
#include "files/ConfigDiff.h"

#include "files/ConfigFile.h"
#include "protocol/ControllerParamTable.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

std::string Listed(const std::vector<ConfigDifference>& d)
{
    std::string out;
    for (const ConfigDifference& x : d)
        out += x.key + "=" + x.a + "|" + x.b + ";";
    return out;
}

TEST(ConfigDiffTest, FilesCompareByWhatALoadReads)
{
    test::TempDir dir;
    const std::string base =
        "[PARAMETERS]\nROLL_TOTAL=120\nROLL_VEL=80\nROLL_SERVO_REV=-1\nRECEIVER_TYPE=2\n";
    struct Case
    {
        const char* name;
        std::string other;
        std::string differences;
        std::vector<std::string> missing;
    };
    const std::string allButBase =
        "ROLL_ACC=0\nROLL_INT=0\nPITCH_ACC=0\nPITCH_TOTAL=0\nPITCH_VEL=0\nPITCH_INT=0\n";
    const Case cases[] = {
        {"same text", base, "", {}},
        {"CRLF line ends and blanks",
         "[PARAMETERS]\r\nROLL_TOTAL = 120\r\nROLL_VEL=80\r\nROLL_SERVO_REV=-1\r\nRECEIVER_TYPE=2\r\n",
         "",
         {}},
        {"other spellings of the same values",
         "[parameters]\nroll_total=0120\nROLL_VEL=80abc\nROLL_SERVO_REV=255\nRECEIVER_TYPE=258\n",
         "",
         {}},
        {"a duplicate key: the first one counts",
         "[PARAMETERS]\nROLL_TOTAL=150\nROLL_TOTAL=120\nROLL_VEL=80\nROLL_SERVO_REV=-1\nRECEIVER_TYPE=2\n",
         "ROLL_TOTAL=120|150;",
         {}},
        {"a duplicate section: the first one counts",
         "[PARAMETERS]\nROLL_TOTAL=120\nROLL_VEL=80\nROLL_SERVO_REV=-1\nRECEIVER_TYPE=2\n[PARAMETERS]\nROLL_"
         "VEL=1\n",
         "",
         {}},
        {"missing keys load as 0",
         "[PARAMETERS]\nROLL_TOTAL=120\nRECEIVER_TYPE=2\n",
         "ROLL_VEL=80|0;ROLL_SERVO_REV=-1|0;",
         {"ROLL_VEL", "ROLL_SERVO_REV"}},
        {"the pan servo centre is not read", base + "YAW_SERVO_CENTER=77\n", "", {}},
        {"several differences in file order",
         "[PARAMETERS]\nRECEIVER_TYPE=3\nROLL_VEL=81\nROLL_TOTAL=120\nROLL_SERVO_REV=1\n",
         "ROLL_VEL=80|81;ROLL_SERVO_REV=-1|1;RECEIVER_TYPE=2|3;",
         {}},
    };
    test::WriteWholeFile(dir.File("a.bgsc"), base);
    LoadedConfig<ControllerParams> a;
    const Result loadA = LoadConfigForDiff(dir.File("a.bgsc"), a);
    ASSERT_TRUE(loadA) << loadA.message;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteWholeFile(dir.File("b.bgsc"), c.other);
        LoadedConfig<ControllerParams> b;
        const Result loadB = LoadConfigForDiff(dir.File("b.bgsc"), b);
        ASSERT_TRUE(loadB) << loadB.message;
        EXPECT_EQ(Listed(DiffParams(a.params, b.params)), c.differences);
        std::vector<std::string> missingOfInterest;
        for (const std::string& k : b.missing)
            if (base.find(k + "=") != std::string::npos)
                missingOfInterest.push_back(k);
        EXPECT_EQ(missingOfInterest, c.missing);
    }
}

TEST(ConfigDiffTest, FilesThatWouldLoadAsZerosAreRefused)
{
    test::TempDir dir;
    test::WriteWholeFile(dir.File("foreign.ini"), "[Setting]\nCOM=3\n");
    test::WriteWholeFile(dir.File("empty.bgsc"), "");
    struct Case
    {
        std::string path;
        const char* words;
    };
    const Case cases[] = {
        {dir.File("missing.bgsc"), "Cannot read"},
        {dir.File("foreign.ini"), "has no [PARAMETERS] section"},
        {dir.File("empty.bgsc"), "has no [PARAMETERS] section"},
        {dir.path().string(), "Cannot read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        LoadedConfig<ControllerParams> out;
        const Result r = LoadConfigForDiff(c.path, out);
        EXPECT_FALSE(r);
        EXPECT_NE(r.message.find(c.words), std::string::npos) << r.message;
    }
}

// Two files: a key only one has differs and shows "(missing)"; a key both
// lack does not; the rest compare by value.
TEST(ConfigDiffTest, AKeyOnlyOneFileHasDiffersAsMissing)
{
    ControllerParams a, b;
    a.ROLL_TOTAL = 120, b.ROLL_TOTAL = 150;
    a.ROLL_VEL = b.ROLL_VEL = 0; // equal values, one of them missing
    const struct
    {
        std::vector<std::string> missingA, missingB;
        const char* differences;
    } rows[] = {
        {{}, {}, "ROLL_TOTAL=120|150;"},
        {{"ROLL_VEL"}, {}, "ROLL_TOTAL=120|150;ROLL_VEL=(missing)|0;"},
        {{}, {"ROLL_TOTAL", "ROLL_VEL"}, "ROLL_TOTAL=120|(missing);ROLL_VEL=0|(missing);"},
        {{"ROLL_TOTAL"}, {"ROLL_TOTAL"}, ""},
    };
    const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(BoardOf(BoardId::Controller));
    for (const auto& row : rows)
        EXPECT_EQ(
            Listed(DiffFileEntries(ConfigEntries(a), ConfigEntries(b), keys, row.missingA, row.missingB)),
            row.differences);
}

TEST(ConfigDiffTest, SetsDifferOnlyInKeysALoadReads)
{
    ControllerParams a, b;
    b.YAW_TOTAL = 99;        // no file key
    b.YAW_SERVO_CENTER = 12; // written, never read
    EXPECT_TRUE(DiffParams(a, b).empty());
    b.INIT_PITCH = -1350;
    b.ROLL_TOTAL = 65535;
    EXPECT_EQ(Listed(DiffParams(a, b)), "ROLL_TOTAL=0|65535;INIT_PITCH=0|-1350;");
}

// What an upload changes is judged by what the controller will hold: every
// key a load reads travels, each one alone is a change, and an odd angle
// limit one above what the controller holds (it travels halved) is none.
TEST(ConfigDiffTest, AnUploadChangesWhatTheControllerWillHoldDifferently)
{
    ControllerParams board;
    board.PITCH_MIN = -134;
    board.ROLL_MAX = 44;
    for (const ConfigKeyRange& k : ConfigKeyRanges(BoardOf(BoardId::Controller))) {
        SCOPED_TRACE(std::string(k.key));
        ControllerParams loaded = board;
        const ParamRow<ControllerParams>& row = *FindControllerParam(k.key);
        const std::int64_t now = GetParam(row, board);
        SetParam(row, loaded, now >= k.max ? now - k.step : now + k.step);
        EXPECT_EQ(DiffControllerUpload(board, loaded).size(), 1u);
    }
    struct Case
    {
        int pitchMin, rollMax;
        const char* listed;
    };
    for (const Case& c : {Case{-135, 45, ""}, Case{-133, 45, "PITCH_MIN=-134|-133;"},
                          Case{-136, 45, "PITCH_MIN=-134|-136;"}, Case{-134, 47, "ROLL_MAX=44|47;"}}) {
        ControllerParams loaded = board;
        loaded.PITCH_MIN = c.pitchMin;
        loaded.ROLL_MAX = c.rollMax;
        EXPECT_EQ(Listed(DiffControllerUpload(board, loaded)), c.listed) << c.pitchMin << " " << c.rollMax;
    }
}

} // namespace
} // namespace qav
