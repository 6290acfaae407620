// Backups on Windows: the folder under the user's local application data.
#include "files/Backups.h"

#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

TEST(BackupsTest, TheFolderFollowsLocalAppData)
{
    struct Case
    {
        const char* local; // null: unset
        const char* folder;
    };
    const Case cases[] = {
        {"C:\\Users\\u\\AppData\\Local", "C:\\Users\\u\\AppData\\Local\\qav-nuva\\backups"},
        {"D:\\data", "D:\\data\\qav-nuva\\backups"},
        {nullptr, ""},
    };
    test::ScopedEnv local("LOCALAPPDATA");
    for (const Case& c : cases) {
        local.Set(c.local);
        EXPECT_EQ(DefaultBackupFolder(), c.folder) << (c.local ? c.local : "(unset)");
    }
    std::string path;
    const Result r = BackupParams(DefaultBackupFolder(), ControllerParams{}, "COM1", path);
    EXPECT_FALSE(r);
    EXPECT_NE(r.message.find("LOCALAPPDATA is not set"), std::string::npos) << r.message;
}

} // namespace
} // namespace qav
