// Whole files read only when they are regular and bounded, and replaced
// through a temporary file, never into something that is not a file.
#include "platform/RegularFile.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qav {
namespace {

TEST(RegularFile, AFifoIsNotReadAsAFile)
{
    test::TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    // Opening a FIFO for reading would wait for a writer; it is refused first.
    std::string out = "old";
    EXPECT_EQ(ReadRegularFile(dir.File("fifo"), 10, out).code, kNotRegularFile);
    EXPECT_EQ(out, "");
}

TEST(RegularFile, ReplacesOnlyRegularFilesAndKeepsTheirMode)
{
    test::TempDir dir;
    test::WriteWholeFile(dir.File("old"), "old");
    chmod(dir.File("old").c_str(), 0640);
    std::filesystem::create_symlink(dir.File("old"), dir.File("link"));
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.File("folder"));
    // A read-only file is refused even to root, whom the system would let
    // through, and through a link as well.
    test::WriteWholeFile(dir.File("read-only"), "kept");
    chmod(dir.File("read-only").c_str(), 0444);
    std::filesystem::create_symlink(dir.File("read-only"), dir.File("link-to-read-only"));
    struct Case
    {
        std::string path;
        int code;
    };
    const std::vector<Case> cases{
        {dir.File("new"), 0},
        {dir.File("link"), 0}, // written through to its target
        {dir.File("fifo"), kNotRegularFile},
        {dir.File("folder"), EISDIR},
        {"/dev/null", kNotRegularFile},
        {dir.File("no/such/folder"), ENOENT},
        {dir.File("read-only"), EACCES},
        {dir.File("link-to-read-only"), EACCES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ReplaceFile(c.path, "new text").code, c.code);
    }
    EXPECT_EQ(test::ReadWholeFile(dir.File("new")), "new text");
    EXPECT_EQ(test::ReadWholeFile(dir.File("old")), "new text");
    EXPECT_EQ(test::ReadWholeFile(dir.File("read-only")), "kept");
    EXPECT_EQ(CheckWritable(dir.File("old")).code, 0);
    EXPECT_EQ(CheckWritable(dir.File("none")).code, 0);
    EXPECT_EQ(CheckWritable(dir.File("read-only")).message, "Permission denied");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link")));
    struct stat st
    {
    };
    ASSERT_EQ(stat(dir.File("old").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // Only what was there and what was written: no temporary file is left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 7);
}

} // namespace
} // namespace qav
