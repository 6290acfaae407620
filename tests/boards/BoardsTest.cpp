#include "boards/Boards.h"
#include "files/ConfigFile.h"
#include "files/ConfigFileCheck.h"
#include "upgrade/FirmwareFile.h"

#include "support/ParamsPrinter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace qav {
namespace {

using test::ReadWholeFile;
using test::TempDir;

TEST(Boards, EachRowIsFoundByItsIdItsWordAndItsFirmwareByte)
{
    ASSERT_FALSE(Boards().empty());
    for (const BoardRow& row : Boards()) {
        SCOPED_TRACE(std::string(row.word));
        EXPECT_EQ(&BoardOf(row.id), &row);
        EXPECT_EQ(BoardNamed(row.word), &row);
        EXPECT_EQ(BoardOfFirmware(row.firmwareByte), &row);
        EXPECT_EQ(FirmwareBoardName(row.firmwareByte), row.firmwareName);
        EXPECT_FALSE(row.configExtensions.empty());
        EXPECT_EQ(BackupExtension(row), row.configExtensions.front());
    }
    EXPECT_EQ(BoardNamed("Motor"), nullptr);
    EXPECT_EQ(BoardNamed(""), nullptr);
    EXPECT_EQ(BoardOfFirmware(0), nullptr);
    EXPECT_EQ(FirmwareBoardName(0), "unknown board");
}

// Two boards sharing any of these would be mistaken for each other: on the
// line, in a file, on the command line or in a firmware container.
TEST(Boards, NoTwoRowsShareWhatTellsThemApart)
{
    std::set<std::string> words, sections, extensions, firmware, headers;
    std::set<int> bytes;
    for (const BoardRow& row : Boards()) {
        SCOPED_TRACE(std::string(row.word));
        EXPECT_TRUE(words.emplace(row.word).second);
        EXPECT_TRUE(sections.emplace(row.section).second);
        EXPECT_TRUE(firmware.emplace(row.firmwareExtension).second);
        EXPECT_TRUE(bytes.insert(row.firmwareByte).second);
        EXPECT_NE(row.firmwareByte, 0) << "0 means either board to the firmware checks";
        EXPECT_TRUE(headers.insert({char(row.header0), char(row.header1)}).second);
        for (std::string_view ext : row.configExtensions)
            EXPECT_TRUE(extensions.emplace(ext).second) << ext;
    }
}

TEST(Boards, EachPollCarriesItsOwnBoardsHeader)
{
    for (const BoardRow& row : Boards()) {
        SCOPED_TRACE(std::string(row.word));
        const Frame poll = row.poll();
        EXPECT_EQ(poll[0], row.header0);
        EXPECT_EQ(poll[1], row.header1);
    }
}

// What the files, the checks and the typed tables say of a board must be one
// story: the record-free view is built from the typed table, in its order.
template <class S> void ExpectViewMatchesTable()
{
    const BoardRow& board = BoardOfRecord<S>();
    const auto table = BoardRecord<S>::Table();
    const auto view = board.params();
    ASSERT_EQ(view.size(), table.size());
    std::vector<ConfigKeyRange> expected;
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(view[i].key, table[i].key);
        EXPECT_EQ(view[i].file, table[i].file);
        EXPECT_EQ(view[i].field, FieldRange<S>(table[i].member));
        EXPECT_EQ(BoardRecord<S>::Find(table[i].key), &table[i]);
    }
    const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(board);
    std::size_t k = 0;
    for (const ParamRow<S>& row : table) {
        if (row.file != FileUse::ReadWrite)
            continue;
        ASSERT_LT(k, keys.size());
        EXPECT_EQ(keys[k].key, row.key);
        EXPECT_EQ(keys[k].allowed, row.range);
        EXPECT_EQ(keys[k].min, FieldRange<S>(row.member).low);
        EXPECT_EQ(keys[k].max, FieldRange<S>(row.member).high);
        ++k;
    }
    EXPECT_EQ(k, keys.size());
}

TEST(Boards, TheRecordFreeViewIsTheTypedTable)
{
    ExpectViewMatchesTable<ControllerParams>();
    ExpectViewMatchesTable<MotorParams>();
}

// Every saved parameter a value of its own that its field holds, none 0 (a
// key a load missed reads as 0), signed ones negative where they can be.
template <class S> S Distinct()
{
    S params{};
    std::int64_t n = 1;
    for (const ParamRow<S>& row : BoardRecord<S>::Table()) {
        const ValueRange field = FieldRange<S>(row.member);
        SetParam(row, params, field.low < 0 ? -n : n);
        ++n;
    }
    return params;
}

template <class S> void ExpectRoundTrip()
{
    const BoardRow& board = BoardOfRecord<S>();
    SCOPED_TRACE(std::string(board.word));
    TempDir dir;
    const S saved = Distinct<S>();
    for (std::string_view ext : board.configExtensions) {
        const std::string path = dir.File("set" + std::string(ext));
        ASSERT_TRUE(SaveConfig(path, saved));
        EXPECT_EQ(ReadWholeFile(path).rfind("[" + std::string(board.section) + "]\n", 0), 0u);

        S loaded{};
        ConfigLoadReport report;
        ASSERT_TRUE(LoadConfig(path, loaded, &report));
        EXPECT_TRUE(report.hasSection);
        EXPECT_TRUE(report.missing.empty());
        for (const ParamRow<S>& row : BoardRecord<S>::Table())
            EXPECT_EQ(GetParam(row, loaded), row.file == FileUse::ReadWrite ? GetParam(row, saved) : 0)
                << row.key;

        // The checked read of the same file gives the same values.
        CheckedConfig checked;
        const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(board);
        const std::vector<std::string_view> writeOnly = ConfigWriteOnlyKeys(board);
        ASSERT_TRUE(ReadCheckedConfig(path, board.section, keys, checked, writeOnly));
        EXPECT_TRUE(checked.unknown.empty());
        S applied{};
        ApplyConfig(checked, applied);
        for (const ParamRow<S>& row : BoardRecord<S>::Table())
            EXPECT_EQ(GetParam(row, applied), GetParam(row, loaded)) << row.key;
    }
}

TEST(Boards, EveryRowRoundTripsItsConfigFile)
{
    ExpectRoundTrip<ControllerParams>();
    ExpectRoundTrip<MotorParams>();
}

// A file of one board is nothing to the other: its section is not there.
TEST(Boards, AFileOfOneBoardLoadsNothingIntoAnother)
{
    TempDir dir;
    const std::string path = dir.File("controller.bgsc");
    ASSERT_TRUE(SaveConfig(path, Distinct<ControllerParams>()));
    MotorParams motor = Distinct<MotorParams>();
    ConfigLoadReport report;
    ASSERT_TRUE(LoadConfig(path, motor, &report, MissingKeys::KeepValues));
    EXPECT_FALSE(report.hasSection);
    EXPECT_EQ(motor, Distinct<MotorParams>());
    EXPECT_EQ(report.missing.size(), ConfigKeyRanges(BoardOf(BoardId::Motor)).size());
}

} // namespace
} // namespace qav
