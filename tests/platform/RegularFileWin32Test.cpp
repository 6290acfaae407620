// Whole files on Windows: devices refused, read-only files left alone,
// attributes kept across a replacement.
#include "platform/RegularFile.h"

#include "platform/WindowsApi.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qav {
namespace {

TEST(RegularFileWin32, ReadsOnlyRegularFilesUpToTheLimit)
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
        {"NUL", 1 << 20, kNotRegularFile, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + std::to_string(c.limit));
        std::string out = "old";
        const Result r = ReadRegularFile(c.path, c.limit, out);
        EXPECT_EQ(r.code, c.code) << r.message;
        EXPECT_EQ(out, c.text);
    }
}

TEST(RegularFileWin32, ReplacesOnlyWritableRegularFilesAndKeepsTheirAttributes)
{
    test::TempDir dir;
    test::WriteWholeFile(dir.File("hidden"), "old");
    ASSERT_TRUE(::SetFileAttributesW(dir.path().wstring().append(L"\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    test::WriteWholeFile(dir.File("locked"), "keep");
    ASSERT_TRUE(::SetFileAttributesW(dir.path().wstring().append(L"\\locked").c_str(), FILE_ATTRIBUTE_READONLY));
    std::filesystem::create_directory(dir.File("folder"));
    struct Case
    {
        std::string path;
        int code;
    };
    const std::vector<Case> cases{
        {dir.File("new"), 0},
        {dir.File("hidden"), 0},
        {dir.File("locked"), EACCES},
        {dir.File("folder"), EISDIR},
        {"NUL", kNotRegularFile},
        {dir.File("no/such/folder"), ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ReplaceFile(c.path, "new text").code, c.code);
    }
    EXPECT_EQ(test::ReadWholeFile(dir.File("new")), "new text");
    EXPECT_EQ(test::ReadWholeFile(dir.File("hidden")), "new text");
    EXPECT_EQ(test::ReadWholeFile(dir.File("locked")), "keep");
    const DWORD hidden = ::GetFileAttributesW(dir.path().wstring().append(L"\\hidden").c_str());
    EXPECT_TRUE(hidden & FILE_ATTRIBUTE_HIDDEN);
    // Only what was there and what was written: no temporary file is left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 4);
    // A read-only file left so would outlive the folder's removal.
    ::SetFileAttributesW(dir.path().wstring().append(L"\\locked").c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace
} // namespace qav
