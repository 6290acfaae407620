#include "platform/IniFile.h"

#include "support/TempDir.h"

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

#include <cstring>

namespace qav {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

template <class Row> std::string RowName(const testing::TestParamInfo<Row>& info)
{
    std::string n = info.param.name;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return n;
}

struct ReadRow
{
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    const char* expected;
};

const ReadRow kReadRows[] = {
    {"plain", "[S]\nK=v\n", "S", "K", "v"},
    {"section and key ignore case", "[Parameters]\nroll_total=5\n", "PARAMETERS", "ROLL_TOTAL", "5"},
    {"blanks around names and value", "  [ S ]  \n\t K \t=  a b \t\n", "S", "K", "a b"},
    {"crlf line ends", "[S]\r\nK=v\r\nL=w\r\n", "S", "L", "w"},
    {"last line without line end", "[S]\nK=v", "S", "K", "v"},
    {"first key wins", "[S]\nK=1\nK=2\n", "S", "K", "1"},
    {"first section wins", "[S]\nA=1\n[T]\nK=t\n[S]\nK=2\n", "S", "K", "def"},
    {"key of another section", "[T]\nK=t\n[S]\nJ=1\n", "S", "K", "def"},
    {"key before any section", "K=0\n[S]\n", "S", "K", "def"},
    {"empty value", "[S]\nK=\n", "S", "K", ""},
    {"equals sign inside value", "[S]\nK=a=b\n", "S", "K", "a=b"},
    {"comment line is no key", "[S]\n;K=1\nK=2\n", "S", "K", "2"},
    {"missing section", "[T]\nK=1\n", "S", "K", "def"},
    {"empty file", "", "S", "K", "def"},
    {"byte-order mark before the header", "\xEF\xBB\xBF[S]\nK=v\n", "S", "K", "v"},
    {"prefix of a name is not the name", "[SS]\nKK=1\n[S]\nK=2\n", "S", "K", "2"},
};

class IniReadTest : public testing::TestWithParam<ReadRow>
{
};

TEST_P(IniReadTest, FindsTheValueAWindowsReaderWould)
{
    const ReadRow& row = GetParam();
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteWholeFile(path, row.text);
    EXPECT_EQ(GetPrivateProfileString(row.section, row.key, "def", path), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, IniReadTest, testing::ValuesIn(kReadRows), RowName<ReadRow>);

TEST(IniFile, MissingFileGivesTheDefaultAndIntZero)
{
    TempDir dir;
    const std::string path = dir.File("none.ini");
    EXPECT_EQ(GetPrivateProfileString("S", "K", "x", path), "x");
    EXPECT_EQ(GetPrivateProfileInt("S", "K", path), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(IniFile, IntKeysFollowAtol)
{
    TempDir dir;
    const std::string path = dir.File("n.ini");
    WriteWholeFile(path, "[S]\nA=-1\nB=12abc\nC=abc\nD= +7\n");
    EXPECT_EQ(GetPrivateProfileInt("S", "A", path), -1);
    EXPECT_EQ(GetPrivateProfileInt("S", "B", path), 12);
    EXPECT_EQ(GetPrivateProfileInt("S", "C", path), 0);
    EXPECT_EQ(GetPrivateProfileInt("S", "D", path), 7);
    EXPECT_EQ(GetPrivateProfileInt("S", "E", path), 0);
}

struct WriteRow
{
    const char* name;
    const char* before; // nullptr: no file
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

const WriteRow kWriteRows[] = {
    {"new file", nullptr, "Setting", "COM", "3", "[Setting]\nCOM=3\n"},
    {"replace keeps everything else", "; hello\n[A]\nx = 1\n[Setting]\nCOM = 1 \nMOTOR_COM=2\n", "Setting",
     "COM", "5", "; hello\n[A]\nx = 1\n[Setting]\nCOM=5\nMOTOR_COM=2\n"},
    {"key keeps its spelling in the file", "[setting]\r\n Com=1\r\n", "SETTING", "COM", "7",
     "[setting]\r\nCom=7\r\n"},
    {"crlf file gets crlf lines", "[A]\r\nx=1\r\n", "B", "y", "2", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
    {"missing key goes after the section's last entry", "[A]\nx=1\n\n[B]\nz=3\n", "A", "y", "2",
     "[A]\nx=1\ny=2\n\n[B]\nz=3\n"},
    {"missing key in a section that ends the file unterminated", "[A]\nx=1", "A", "y", "2",
     "[A]\nx=1\ny=2\n"},
    {"missing key in an empty section", "[A]\n[B]\n", "A", "y", "2", "[A]\ny=2\n[B]\n"},
    {"missing section after an unterminated line", "[A]\nx=1", "B", "y", "2", "[A]\nx=1\n[B]\ny=2\n"},
    {"first of two sections is written", "[A]\nx=1\n[A]\nx=2\n", "a", "X", "9", "[A]\nx=9\n[A]\nx=2\n"},
    {"empty value", "[A]\nx=1\n", "A", "x", "", "[A]\nx=\n"},
    {"only the text of the replaced line changes", "[A]\r\nx=1\r\ny=2", "A", "y", "3", "[A]\r\nx=1\r\ny=3"},
    {"missing key after a last line ending in a lone carriage return", "[A]\r\nx=1\r", "A", "y", "2",
     "[A]\r\nx=1\r\ny=2\r\n"},
    {"missing section after a last line ending in a lone carriage return", "[A]\nx=1\r", "B", "y", "2",
     "[A]\nx=1\r\n[B]\ny=2\n"},
};

class IniWriteTest : public testing::TestWithParam<WriteRow>
{
};

TEST_P(IniWriteTest, ChangesOnlyWhatTheKeyNeeds)
{
    const WriteRow& row = GetParam();
    TempDir dir;
    const std::string path = dir.File("w.ini");
    if (row.before != nullptr)
        WriteWholeFile(path, row.before);
    const Result result = WritePrivateProfileString(row.section, row.key, row.value, path);
    ASSERT_TRUE(result.Ok()) << result.message;
    EXPECT_EQ(ReadWholeFile(path), row.after);
    EXPECT_EQ(GetPrivateProfileString(row.section, row.key, "def", path), row.value);
}

INSTANTIATE_TEST_SUITE_P(Rows, IniWriteTest, testing::ValuesIn(kWriteRows), RowName<WriteRow>);

TEST(IniFile, UnwritableTextIsRefusedAndLeavesTheFileAlone)
{
    TempDir dir;
    const std::string path = dir.File("r.ini");
    const std::string before = "[A]\nx=1\n";
    WriteWholeFile(path, before);
    const struct
    {
        const char* section;
        const char* key;
        const char* value;
    } bad[] = {
        {"A", "x", "1\n[B]\ny=2"}, {"A", "x", "1\r"},  {"A]", "x", "1"},
        {"A", "x=y", "1"},         {"", "x", "1"},     {"A", "", "1"},
        {"A", "[x", "1"},          {"A\nB", "x", "1"},
    };
    for (const auto& b : bad) {
        const Result r = WritePrivateProfileString(b.section, b.key, b.value, path);
        EXPECT_FALSE(r.Ok()) << b.section << "/" << b.key << "/" << b.value;
        EXPECT_EQ(r.code, EINVAL);
    }
    EXPECT_EQ(ReadWholeFile(path), before);
}

TEST(IniFile, FailureIsReportedWithErrno)
{
    TempDir dir;
    const Result noFolder = WritePrivateProfileString("A", "x", "1", dir.File("missing/w.ini"));
    EXPECT_FALSE(noFolder.Ok());
    EXPECT_EQ(noFolder.code, ENOENT);
    EXPECT_EQ(noFolder.message, std::strerror(ENOENT));

    // A path that exists but cannot be read as a file is not replaced.
    const std::string folder = dir.File("folder.ini");
    std::filesystem::create_directory(folder);
    std::filesystem::create_directory(folder + "/keep");
    const Result notAFile = WritePrivateProfileString("A", "x", "1", folder);
    EXPECT_FALSE(notAFile.Ok());
    EXPECT_EQ(notAFile.code, EISDIR);
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/keep"));
}

TEST(IniFile, EveryKeyStaysReadableAfterWritesToAFileEndingInACarriageReturn)
{
    TempDir dir;
    const std::string path = dir.File("cr.ini");
    WriteWholeFile(path, "[PARAMETERS]\nROLL_TOTAL=5\r");
    const std::vector<IniEntry> entries{{"PARAMETERS", "ROLL_VEL", "6"}, {"PARAMETERS", "ROLL_INT", "7"}};
    ASSERT_TRUE(WritePrivateProfileStrings(entries, path));
    ASSERT_TRUE(WritePrivateProfileString("OTHER", "K", "8", path));
    EXPECT_EQ(GetPrivateProfileInt("PARAMETERS", "ROLL_TOTAL", path), 5);
    EXPECT_EQ(GetPrivateProfileInt("PARAMETERS", "ROLL_VEL", path), 6);
    EXPECT_EQ(GetPrivateProfileInt("PARAMETERS", "ROLL_INT", path), 7);
    EXPECT_EQ(GetPrivateProfileInt("OTHER", "K", path), 8);
}

TEST(IniFile, ManyWritesAtOnceEqualTheSameWritesOneByOne)
{
    const std::string start = "; keep me\r\n[PARAMETERS]\r\nROLL_TOTAL = 9\r\n\r\n[Other]\r\nk=v\r\n";
    const std::vector<IniEntry> entries = {
        {"PARAMETERS", "ROLL_ACC", "1"},
        {"parameters", "roll_total", "300"},
        {"New", "a", "x"},
        {"PARAMETERS", "ROLL_ACC", "2"},
        {"Other", "k", "w"},
        {"New", "b", "y"},
    };
    TempDir dir;
    const std::string one = dir.File("one.ini");
    const std::string many = dir.File("many.ini");
    WriteWholeFile(one, start);
    WriteWholeFile(many, start);
    for (const IniEntry& e : entries)
        ASSERT_TRUE(WritePrivateProfileString(e.section, e.key, e.value, one).Ok());
    ASSERT_TRUE(WritePrivateProfileStrings(entries, many).Ok());
    EXPECT_EQ(ReadWholeFile(many), ReadWholeFile(one));
    EXPECT_EQ(ReadWholeFile(many), "; keep me\r\n[PARAMETERS]\r\nROLL_TOTAL=300\r\nROLL_ACC=2\r\n\r\n"
                                   "[Other]\r\nk=w\r\n[New]\r\na=x\r\nb=y\r\n");
}

TEST(IniFile, ManyWritesWithOneBadEntryWriteNothing)
{
    TempDir dir;
    const std::string path = dir.File("m.ini");
    const Result r = WritePrivateProfileStrings({{"A", "x", "1"}, {"A", "y", "bad\nline"}}, path);
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace qav

namespace qav {
namespace {

TEST(IniFile, SectionIsFoundByItsHeaderLineAlone)
{
    const struct
    {
        const char* text;
        bool found;
    } rows[] = {
        {"[MOTOR_PARAMETERS]\n", true},           {"  [ motor_parameters ]  \r\n", true},
        {"[Other]\nMOTOR_PARAMETERS=1\n", false}, {";[MOTOR_PARAMETERS]\n", false},
        {"\xEF\xBB\xBF[MOTOR_PARAMETERS]", true}, {"", false},
        {"[MOTOR_PARAMETERS_2]\n", false},
    };
    for (const auto& r : rows) {
        IniDocument doc;
        doc.Parse(r.text);
        EXPECT_EQ(doc.HasSection("MOTOR_PARAMETERS"), r.found) << r.text;
    }
}

} // namespace
} // namespace qav

namespace qav {
namespace {

TEST(IniDocumentKeys, KeysOfTheFirstMatchingSectionAsWritten)
{
    const struct
    {
        const char* text;
        const char* keys; // joined with "|"
    } rows[] = {
        {"[A]\nx=1\n Y = 2 \n;note\n\n[B]\nz=3\n", "x|Y"},
        {"[b]\nq=1\n[a]\nr=2\n[A]\ns=3\n", "r"}, // the first [A], in any case
        {"[A]\nx=1\nx=2\nnot a key\n", "x|x"},
        {"[B]\nx=1\n", ""},
        {"", ""},
    };
    for (const auto& row : rows) {
        IniDocument doc;
        doc.Parse(row.text);
        std::string keys;
        for (const std::string& k : doc.Keys(" a "))
            keys += (keys.empty() ? "" : "|") + k;
        EXPECT_EQ(keys, row.keys) << row.text;
    }
    EXPECT_TRUE(SameIniName(" Roll_Total", "ROLL_TOTAL "));
    EXPECT_FALSE(SameIniName("ROLL_TOTAL", "ROLL_TOTAL2"));
}

} // namespace
} // namespace qav
