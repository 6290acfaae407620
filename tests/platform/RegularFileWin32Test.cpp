// Whole files replaced on Windows: read-only files left alone, attributes
// kept across a replacement.
#include "platform/RegularFile.h"

#include "platform/WindowsApi.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace qav {
namespace {

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
