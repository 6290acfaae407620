#include "platform/SingleInstance.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace qav {
namespace {

std::string UniqueName(const char* what)
{
    return "qav-test-" + std::string(what) + "-" + std::to_string(getpid());
}

bool Readable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0;
}

TEST(SingleInstance, SecondClaimIsRefusedAndAsksTheFirstToRaise)
{
    const std::string name = UniqueName("pair");
    CSingleInstance first;
    ASSERT_EQ(first.Claim(name), CSingleInstance::Role::First);
    ASSERT_GE(first.ListenFd(), 0);
    EXPECT_EQ(first.TakeRaiseRequests(), 0);

    CSingleInstance second;
    EXPECT_EQ(second.Claim(name), CSingleInstance::Role::Second);
    EXPECT_EQ(second.ListenFd(), -1);

    ASSERT_TRUE(Readable(first.ListenFd(), 2000));
    EXPECT_EQ(first.TakeRaiseRequests(), 1);
    EXPECT_EQ(first.TakeRaiseRequests(), 0);
}

TEST(SingleInstance, NameIsFreeAgainOnceTheFirstCopyEnds)
{
    const std::string name = UniqueName("free");
    {
        CSingleInstance first;
        ASSERT_EQ(first.Claim(name), CSingleInstance::Role::First);
    }
    CSingleInstance next;
    EXPECT_EQ(next.Claim(name), CSingleInstance::Role::First);
}

TEST(SingleInstance, DifferentNamesDoNotMeet)
{
    CSingleInstance a, b;
    EXPECT_EQ(a.Claim(UniqueName("a")), CSingleInstance::Role::First);
    EXPECT_EQ(b.Claim(UniqueName("b")), CSingleInstance::Role::First);
}

TEST(SingleInstance, EveryLaterCopyAsksOnce)
{
    const std::string name = UniqueName("silent");
    CSingleInstance first;
    ASSERT_EQ(first.Claim(name), CSingleInstance::Role::First);
    // Three raise requests from three later copies.
    for (int i = 0; i < 3; ++i) {
        CSingleInstance later;
        EXPECT_EQ(later.Claim(name), CSingleInstance::Role::Second);
    }
    ASSERT_TRUE(Readable(first.ListenFd(), 2000));
    EXPECT_EQ(first.TakeRaiseRequests(), 3);
}

TEST(SingleInstance, UnusableNamesRunUnguarded)
{
    CSingleInstance empty;
    EXPECT_EQ(empty.Claim(""), CSingleInstance::Role::Unguarded);
    CSingleInstance tooLong;
    EXPECT_EQ(tooLong.Claim(std::string(200, 'x')), CSingleInstance::Role::Unguarded);
}

TEST(SingleInstance, NameLivesInTheUsersPrivateFolder)
{
    EXPECT_EQ(DefaultInstanceName(), "QAVNUVAMUTEX");
    const std::string name = UniqueName("private");
    CSingleInstance first;
    ASSERT_EQ(first.Claim(name), CSingleInstance::Role::First);
    struct stat st;
    const std::string folder = PrivateRuntimeFolder();
    ASSERT_EQ(lstat((folder + "/" + name).c_str(), &st), 0) << folder;
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, getuid());
    EXPECT_EQ(st.st_mode & 077, 0u) << "nobody else may enter it";
}

TEST(SingleInstance, NamesOthersCanTakeDoNotKeepTheProgramOut)
{
    // What any local user could bind: the abstract names the program once
    // used. Taken, they change nothing.
    const std::string name = UniqueName("squatted");
    std::vector<int> squatters;
    for (const std::string& taken : {name, std::string("QAVNUVAMUTEX-") + std::to_string(getuid())}) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path + 1, taken.data(), taken.size());
        const auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + taken.size());
        if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) == 0)
            squatters.push_back(fd);
        else
            close(fd); // a copy of the program may hold it: taken all the same
    }
    CSingleInstance first;
    EXPECT_EQ(first.Claim(name), CSingleInstance::Role::First);
    for (int fd : squatters)
        close(fd);
}

TEST(SingleInstance, WhatACrashedCopyLeftBehindIsReplaced)
{
    const std::string name = UniqueName("crashed");
    const std::string path = PrivateRuntimeFolder() + "/" + name;
    // A socket file nobody listens on, and its lock file, unlocked.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.data(), path.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
    close(open((path + ".lock").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    CSingleInstance next;
    ASSERT_EQ(next.Claim(name), CSingleInstance::Role::First);
    CSingleInstance later;
    EXPECT_EQ(later.Claim(name), CSingleInstance::Role::Second);
    ASSERT_TRUE(Readable(next.ListenFd(), 2000));
    EXPECT_EQ(next.TakeRaiseRequests(), 1);
}

// Which folder holds the name, by what XDG_RUNTIME_DIR is.
TEST(PrivateRuntimeFolder, OnlyAFolderOfOursThatNobodyElseMayUse)
{
    char base[] = "/tmp/qav-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    const std::string root = base;
    const std::string privateDir = root + "/private", openDir = root + "/open", link = root + "/link",
                      temp = root + "/tmp";
    ASSERT_EQ(mkdir(privateDir.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(openDir.c_str(), 0700), 0);
    ASSERT_EQ(chmod(openDir.c_str(), 0777), 0);
    ASSERT_EQ(symlink(privateDir.c_str(), link.c_str()), 0);
    ASSERT_EQ(mkdir(temp.c_str(), 0700), 0);
    const std::string fallback = temp + "/qav-nuva-" + std::to_string(getuid());

    const char* savedRuntime = std::getenv("XDG_RUNTIME_DIR");
    const char* savedTemp = std::getenv("TMPDIR");
    const std::string keptRuntime = savedRuntime ? savedRuntime : "", keptTemp = savedTemp ? savedTemp : "";
    setenv("TMPDIR", temp.c_str(), 1);
    struct Row
    {
        const char* runtime; // nullptr: unset
        std::string expected;
    };
    const Row rows[] = {
        {privateDir.c_str(), privateDir},
        {openDir.c_str(), fallback},
        {link.c_str(), fallback},
        {"relative/folder", fallback},
        {nullptr, fallback},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.runtime ? row.runtime : "(unset)");
        if (row.runtime)
            setenv("XDG_RUNTIME_DIR", row.runtime, 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        EXPECT_EQ(PrivateRuntimeFolder(), row.expected);
    }
    // A fallback folder made by someone else (here: open to all) is refused.
    ASSERT_EQ(chmod(fallback.c_str(), 0777), 0);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(PrivateRuntimeFolder(), "");
    CSingleInstance unguarded;
    EXPECT_EQ(unguarded.Claim(UniqueName("nowhere")), CSingleInstance::Role::Unguarded);

    if (savedRuntime)
        setenv("XDG_RUNTIME_DIR", keptRuntime.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    if (savedTemp)
        setenv("TMPDIR", keptTemp.c_str(), 1);
    else
        unsetenv("TMPDIR");
    std::filesystem::remove_all(root);
}

} // namespace
} // namespace qav
