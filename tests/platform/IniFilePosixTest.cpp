// INI files against what only POSIX has: FIFOs, devices, modes, links.
#include "platform/IniFile.h"

#include "platform/RegularFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace qav {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

TEST(IniFile, OnlyRegularFilesUpToOneMebibyteAreReadOrReplaced)
{
    TempDir dir;
    const std::string fifo = dir.File("fifo.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir.File("big.ini");
    WriteWholeFile(big, "[A]\nx=1\n" + std::string(kMaxIniFileSize, ';'));
    const std::string limit = dir.File("limit.ini");
    WriteWholeFile(limit, "[A]\nx=1\n" + std::string(kMaxIniFileSize - 8, ';'));
    const struct
    {
        std::string path;
        int error; // 0: readable
    } rows[] = {
        {fifo, kNotRegularFile},
        {"/dev/zero", kNotRegularFile},
        {"/dev/null", kNotRegularFile},
        {big, EFBIG},
        {limit, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        IniDocument doc;
        errno = 0;
        EXPECT_EQ(doc.Load(row.path), row.error == 0);
        if (row.error != 0) {
            EXPECT_EQ(errno, row.error);
            EXPECT_EQ(GetPrivateProfileString("A", "x", "def", row.path), "def");
        }
    }
    EXPECT_EQ(IniReadErrorText(kNotRegularFile), "not a regular file");
    EXPECT_EQ(IniReadErrorText(EFBIG), "larger than 1 MiB");
    // Neither the FIFO nor the device is replaced by a write.
    const Result toFifo = WritePrivateProfileString("A", "x", "2", fifo);
    EXPECT_EQ(toFifo.code, kNotRegularFile);
    EXPECT_EQ(toFifo.message, "not a regular file");
    struct stat st
    {
    };
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    const Result toBig = WritePrivateProfileString("A", "x", "2", big);
    EXPECT_EQ(toBig.code, EFBIG);
    EXPECT_EQ(toBig.message, "larger than 1 MiB");
}

TEST(IniFile, ReplacementLeavesNoTemporaryAndKeepsModeAndLink)
{
    TempDir dir;
    const std::string target = dir.File("real.ini");
    const std::string link = dir.File("link.ini");
    WriteWholeFile(target, "[A]\nx=1\n");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    std::filesystem::create_symlink(target, link);

    ASSERT_TRUE(WritePrivateProfileString("A", "x", "2", link).Ok());

    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadWholeFile(target), "[A]\nx=2\n");
    struct stat st
    {
    };
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2);
}

} // namespace
} // namespace qav
