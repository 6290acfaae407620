// Backups on Linux: the folder under the XDG data home, private to its user.
#include "files/Backups.h"

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qav {
namespace {

namespace fs = std::filesystem;

TEST(BackupsTest, TheFolderIsMadeForItsUserOnly)
{
    test::TempDir dir;
    const std::string folder = dir.File("data/qav-nuva/backups");
    std::string path;
    const Result r = BackupParams(folder, ControllerParams{}, "/dev/ttyUSB0", path);
    ASSERT_TRUE(r) << r.message;
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(BackupsTest, TheFolderFollowsTheDataHome)
{
    struct Case
    {
        const char* xdg;  // null: unset
        const char* home; // null: unset
        const char* folder;
    };
    const Case cases[] = {
        {"/data", "/home/u", "/data/qav-nuva/backups"},
        {nullptr, "/home/u", "/home/u/.local/share/qav-nuva/backups"},
        {"relative", "/home/u", "/home/u/.local/share/qav-nuva/backups"},
        {nullptr, nullptr, ""},
    };
    test::ScopedEnv xdg("XDG_DATA_HOME"), home("HOME");
    for (const Case& c : cases) {
        xdg.Set(c.xdg);
        home.Set(c.home);
        EXPECT_EQ(DefaultBackupFolder(), c.folder);
    }
    home.Set("/home/u");
    EXPECT_EQ(ShortenHome("/home/u/.local/x.bgsc"), "~/.local/x.bgsc");
    EXPECT_EQ(ShortenHome("/home/user/x.bgsc"), "/home/user/x.bgsc");
    // A folder that cannot be made is reported.
    std::string path;
    const Result r = BackupParams("/proc/no-such", ControllerParams{}, "COM1", path);
    EXPECT_FALSE(r);
    EXPECT_NE(r.message.find("backup"), std::string::npos) << r.message;
}

} // namespace
} // namespace qav
