#include "platform/Notify.h"

#include "support/Patience.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace qav {
namespace {

using namespace std::chrono_literals;

TEST(Notify, PostToALiveOwnerArrivesAndToAGoneOneIsDropped)
{
    auto owner = std::make_shared<NotifyQueue>();
    std::weak_ptr<INotifySink> handle = owner;
    EXPECT_TRUE(PostNotification(handle, 1642, 3, 0));
    EXPECT_EQ(owner->TryTake(), (Notification{1642, 3, 0}));
    owner.reset();
    EXPECT_FALSE(PostNotification(handle, 1642, 3, 0));
    EXPECT_FALSE(PostNotification(std::weak_ptr<INotifySink>{}, 1642, 3, 0));
}

TEST(Notify, WaitForGivesNothingWhenTheTimeRunsOut)
{
    NotifyQueue q;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(q.WaitFor(20ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
    EXPECT_FALSE(q.TryTake());
    EXPECT_FALSE(q.WaitForMessage(1, 0ms));
}

TEST(Notify, WaitForWakesForAPostFromAnotherThread)
{
    NotifyQueue q;
    std::thread poster([&] { q.Post(7, 8, 9); });
    const auto n = q.WaitFor(test::kPatience);
    poster.join();
    ASSERT_TRUE(n);
    EXPECT_EQ(*n, (Notification{7, 8, 9}));
}

TEST(Notify, WaitForMessageSkipsOtherMessages)
{
    NotifyQueue q;
    q.Post(1648, 1, 0);
    q.Post(1643, 1, 1);
    q.Post(1642, 1, 0);
    q.Post(1648, 1, 0);
    const auto n = q.WaitForMessage(1642, 1s);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->message, 1642u);
    EXPECT_EQ(q.Size(), 1u) << "what follows the match stays queued";
}

TEST(Notify, PostsFromManyThreadsAllArriveInEachThreadsOrder)
{
    auto q = std::make_shared<NotifyQueue>();
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([q, t] {
            std::weak_ptr<INotifySink> handle = q;
            for (int i = 0; i < kEach; ++i)
                PostNotification(handle, 100, t, i);
        });
    std::vector<std::intptr_t> next(kThreads, 0);
    int total = 0;
    bool ordered = true;
    while (total < kThreads * kEach) {
        const auto n = q->WaitFor(test::kPatience);
        if (!n)
            break;
        ordered &= n->lParam == next[static_cast<std::size_t>(n->wParam)]++;
        ++total;
    }
    for (auto& p : posters)
        p.join();
    EXPECT_EQ(total, kThreads * kEach);
    EXPECT_TRUE(ordered);
}

} // namespace
} // namespace qav
