#include "platform/SingleInstance.h"
#include "support/Patience.h"
#include "support/ScopedEnv.h"

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

bool Readable(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(test::kPatience.count())) > 0;
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

    ASSERT_TRUE(Readable(first.ListenFd()));
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
    ASSERT_TRUE(Readable(first.ListenFd()));
    EXPECT_EQ(first.TakeRaiseRequests(), 3);
}

TEST(SingleInstance, UnusableNamesRunUnguarded)
{
    CSingleInstance empty;
    EXPECT_EQ(empty.Claim(""), CSingleInstance::Role::Unguarded);
    CSingleInstance tooLong;
    EXPECT_EQ(tooLong.Claim(std::string(200, 'x')), CSingleInstance::Role::Unguarded);
}

sockaddr_un Address(const std::string& name, bool abstract, socklen_t& len)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + (abstract ? 1 : 0), name.data(), name.size());
    len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + 1);
    return addr;
}

TEST(SingleInstance, NeitherNamesOthersCanTakeNorACrashedCopysSocketKeepItOut)
{
    EXPECT_EQ(DefaultInstanceName(), "QAVNUVAMUTEX");
    const std::string name = UniqueName("squatted");
    // Any local user could bind the abstract names; a crashed copy leaves
    // its socket file (nobody listening) and an unlocked lock file.
    const std::string file = PrivateRuntimeFolder() + "/" + name;
    std::vector<int> held;
    for (const auto& [taken, abstract] : {std::pair{name, true}, std::pair{DefaultInstanceName() + "-" +
                                                                              std::to_string(getuid()), true},
                                          std::pair{file, false}}) {
        socklen_t len = 0;
        const sockaddr_un addr = Address(taken, abstract, len);
        held.push_back(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        (void)bind(held.back(), reinterpret_cast<const sockaddr*>(&addr), len); // may be ours already
    }
    close(open((file + ".lock").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    CSingleInstance first;
    ASSERT_EQ(first.Claim(name), CSingleInstance::Role::First);
    CSingleInstance later;
    EXPECT_EQ(later.Claim(name), CSingleInstance::Role::Second);
    ASSERT_TRUE(Readable(first.ListenFd()));
    EXPECT_EQ(first.TakeRaiseRequests(), 1);
    for (int fd : held)
        close(fd);
}

// Which folder holds the name, by what XDG_RUNTIME_DIR is.
TEST(PrivateRuntimeFolder, OnlyAFolderOfOursThatNobodyElseMayUse)
{
    char base[] = "/tmp/qav-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    const std::string root = base, own = root + "/own", open = root + "/open", link = root + "/link";
    ASSERT_EQ(mkdir(own.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(open.c_str(), 0777), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);
    ASSERT_EQ(symlink(own.c_str(), link.c_str()), 0);
    const std::string fallback = root + "/qav-nuva-" + std::to_string(getuid());
    test::ScopedEnv runtime("XDG_RUNTIME_DIR");
    test::ScopedEnv temp("TMPDIR", root);
    const std::pair<std::string, std::string> rows[] = {
        {own, own}, {open, fallback}, {link, fallback}, {"relative/folder", fallback}, {"", fallback}};
    for (const auto& [xdg, expected] : rows) {
        runtime.Set(xdg);
        EXPECT_EQ(PrivateRuntimeFolder(), expected) << xdg;
    }
    // A fallback folder anybody may use is refused, and the guard with it.
    ASSERT_EQ(chmod(fallback.c_str(), 0777), 0);
    EXPECT_EQ(PrivateRuntimeFolder(), "");
    CSingleInstance unguarded;
    EXPECT_EQ(unguarded.Claim(UniqueName("nowhere")), CSingleInstance::Role::Unguarded);
    std::filesystem::remove_all(root);
}

} // namespace
} // namespace qav
