// Backups of a device's set: names by time and port, the folder made
// private, only the newest kept, and other files left alone.
#include "files/Backups.h"

#include "files/ConfigFile.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace qav {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

TEST(BackupsTest, ABackupHoldsTheSetUnderANameOfTimeAndPort)
{
    test::TempDir dir;
    const std::string folder = dir.File("data/qav-nuva/backups");
    ControllerParams p;
    p.ROLL_TOTAL = 321;
    p.ROLL_SERVO_REV = -1;
    const auto now = std::chrono::system_clock::now();
    std::string path;
    const Result first = BackupParams(folder, p, "/dev/ttyUSB0", path, now);
    ASSERT_TRUE(first) << first.message;
    const std::string name = fs::path(path).filename().string();
    EXPECT_TRUE(name.ends_with("_dev-ttyUSB0.bgsc")) << name;
    EXPECT_EQ(name.size(), std::string("2026-12-08_11-25-00.123_dev-ttyUSB0.bgsc").size()) << name;
    ControllerParams back;
    ASSERT_TRUE(LoadConfig(path, back));
    EXPECT_EQ(back.ROLL_TOTAL, 321);
    EXPECT_EQ(back.ROLL_SERVO_REV, -1);

    // The same moment again never merges into the first file.
    std::string second;
    const Result again = BackupParams(folder, ControllerParams{}, "/dev/ttyUSB0", second, now);
    ASSERT_TRUE(again) << again.message;
    EXPECT_NE(second, path);
    ASSERT_TRUE(LoadConfig(path, back));
    EXPECT_EQ(back.ROLL_TOTAL, 321);
}

TEST(BackupsTest, OnlyTheNewestOfEachKindAreKeptAndOtherFilesStay)
{
    test::TempDir dir;
    const std::string folder = dir.File("backups");
    fs::create_directories(folder);
    for (const char* other : {"notes.bgsc", "2026-bad.bgsc", "keep.txt"})
        test::WriteWholeFile(folder + "/" + other, "x");
    test::WriteWholeFile(folder + "/2020-01-01_00-00-00.000_COM1.bmc", "[MOTOR_PARAMETERS]\n");
    const auto start = std::chrono::system_clock::now();
    std::vector<std::string> written;
    for (int i = 0; i < kBackupsKept + 5; ++i) {
        std::string path;
        // Out of order in the port names, in order in time.
        const Result r = BackupParams(folder, ControllerParams{}, i % 2 ? "COM9" : "COM10", path,
                                      start + std::chrono::seconds(i));
        ASSERT_TRUE(r) << r.message;
        written.push_back(fs::path(path).filename().string());
    }
    const std::set<std::string> names = Names(folder);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(names.count(written[static_cast<std::size_t>(i)]))
            << written[static_cast<std::size_t>(i)];
    for (std::size_t i = 5; i < written.size(); ++i)
        EXPECT_TRUE(names.count(written[i])) << written[i];
    for (const char* other : {"notes.bgsc", "2026-bad.bgsc", "keep.txt", "2020-01-01_00-00-00.000_COM1.bmc"})
        EXPECT_TRUE(names.count(other)) << other;
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kBackupsKept) + 4);
}

TEST(BackupsTest, AFolderThatCannotBeMadeIsReported)
{
    test::TempDir dir;
    // A plain file where a folder on the way should be.
    test::WriteWholeFile(dir.File("file"), "x");
    std::string path;
    EXPECT_FALSE(BackupParams("", ControllerParams{}, "COM1", path));
    const Result r = BackupParams(dir.File("file/backups"), ControllerParams{}, "COM1", path);
    EXPECT_FALSE(r);
    EXPECT_NE(r.message.find("backup"), std::string::npos) << r.message;
}

} // namespace
} // namespace qav
