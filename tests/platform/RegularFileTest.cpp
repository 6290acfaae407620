// Whole files read only when they are regular and bounded, on every system.
#include "platform/RegularFile.h"

#include "support/Platform.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

TEST(RegularFile, ReadsOnlyRegularFilesUpToTheLimit)
{
    test::TempDir dir;
    test::WriteWholeFile(dir.File("ten"), "0123456789");
    struct Case
    {
        std::string path;
        std::size_t limit;
        int code;
        std::string text;
    };
    const std::vector<Case> cases{
        {dir.File("ten"), 10, 0, "0123456789"},
        {dir.File("ten"), 9, EFBIG, ""},
        {dir.File("none"), 10, ENOENT, ""},
        {dir.path().string(), 10, EISDIR, ""},
        {test::DevicePath(), 1 << 20, kNotRegularFile, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + std::to_string(c.limit));
        std::string out = "old";
        const Result r = ReadRegularFile(c.path, c.limit, out);
        EXPECT_EQ(r.code, c.code) << r.message;
        EXPECT_EQ(out, c.text);
    }
    EXPECT_EQ(FileErrorText(EFBIG, 16u << 20), "larger than 16 MiB");
    EXPECT_EQ(FileErrorText(EFBIG, 1000), "larger than 1000 bytes");
    EXPECT_EQ(FileErrorText(kNotRegularFile), "not a regular file");
}

} // namespace
} // namespace qav
