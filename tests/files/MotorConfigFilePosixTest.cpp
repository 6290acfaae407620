// Motor configuration files against POSIX permissions.
#include "files/ConfigFile.h"

#include "support/TempDir.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qav {
namespace {

using test::TempDir;

TEST(MotorConfigFile, UnreadableFileIsReported)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempDir dir;
    const std::string path = dir.File("board.bmc");
    ASSERT_TRUE(SaveConfig(path, MotorParams{1, 2, 3, 4, 0, 0}));
    ::chmod(path.c_str(), 0);
    MotorParams p;
    errno = 0;
    EXPECT_FALSE(LoadConfig(path, p));
    EXPECT_EQ(errno, EACCES);
}

} // namespace
} // namespace qav
