#include "platform/SingleInstance.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <string>

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

TEST(SingleInstance, DefaultNameIsPerUser)
{
    EXPECT_EQ(DefaultInstanceName(), "QAVNUVAMUTEX-" + std::to_string(getuid()));
}

} // namespace
} // namespace qav
