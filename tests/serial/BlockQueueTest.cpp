#include "serial/BlockQueue.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <thread>
#include <vector>

namespace qav {
namespace {

constexpr std::uint32_t kMin = 16;

std::vector<std::uint8_t> Bytes(std::uint32_t n, std::uint8_t first = 0)
{
    std::vector<std::uint8_t> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

std::vector<std::uint8_t> TakeAll(CBlockQueue& q)
{
    std::vector<std::uint8_t> out(q.QueuedCount());
    out.resize(q.Take(out.data(), static_cast<std::uint32_t>(out.size())));
    return out;
}

class BlockQueueTest : public ::testing::Test
{
protected:
    void SetUp() override { q_.SetMinimumBlockSize(kMin); }
    void Append(const std::vector<std::uint8_t>& v)
    {
        q_.Append(v.data(), static_cast<std::uint32_t>(v.size()));
    }
    CBlockQueue q_;
};

TEST(BlockQueueDefaults, StartsEmptyWithTheDefaultMinimum)
{
    CBlockQueue q;
    EXPECT_EQ(q.MinimumBlockSize(), 1024u);
    EXPECT_EQ(q.QueuedCount(), 0u);
    EXPECT_EQ(q.Inspect().blocks, 0u);
    std::uint8_t b = 0;
    EXPECT_EQ(q.Take(&b, 1), 0u);
}

// An emptied last block is kept for reuse up to four times the minimum size
// and freed beyond it.
struct ReuseRow
{
    std::uint32_t appended;
    std::size_t blocksAfterEmptying;
};
class BlockQueueReuse : public BlockQueueTest, public ::testing::WithParamInterface<ReuseRow>
{
};

TEST_P(BlockQueueReuse, EmptiedLastBlockIsKeptOnlyWhenSmall)
{
    const auto [appended, blocks] = GetParam();
    Append(Bytes(appended));
    EXPECT_EQ(TakeAll(q_), Bytes(appended));
    const auto shape = q_.Inspect();
    EXPECT_EQ(shape.blocks, blocks);
    EXPECT_EQ(q_.QueuedCount(), 0u);
    if (blocks == 1) {
        EXPECT_EQ(shape.headRead, 0u);
        EXPECT_EQ(shape.headWrite, 0u);
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, BlockQueueReuse,
                         ::testing::Values(ReuseRow{1, 1}, ReuseRow{kMin, 1}, ReuseRow{kMin + 1, 1},
                                           ReuseRow{4 * kMin, 1}, ReuseRow{4 * kMin + 1, 0},
                                           ReuseRow{100 * kMin, 0}));

TEST_F(BlockQueueTest, KeptBlockIsFilledAgainWithoutANewOne)
{
    Append(Bytes(10));
    TakeAll(q_);
    Append(Bytes(12, 50));
    const auto shape = q_.Inspect();
    EXPECT_EQ(shape.blocks, 1u);
    EXPECT_EQ(shape.headCapacity, kMin);
    EXPECT_EQ(TakeAll(q_), Bytes(12, 50));
}

TEST_F(BlockQueueTest, TakeWithoutDestinationDiscards)
{
    Append(Bytes(10));
    EXPECT_EQ(q_.Take(nullptr, 4), 4u);
    EXPECT_EQ(q_.QueuedCount(), 6u);
    EXPECT_EQ(TakeAll(q_), Bytes(6, 4));
}

TEST_F(BlockQueueTest, TakeOfMoreThanQueuedReturnsWhatThereIs)
{
    Append(Bytes(5));
    std::vector<std::uint8_t> out(100, 0xEE);
    EXPECT_EQ(q_.Take(out.data(), 100), 5u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 5), Bytes(5));
    EXPECT_EQ(out[5], 0xEE) << "nothing written past the bytes taken";
    EXPECT_EQ(q_.QueuedCount(), 0u);
    const auto shape = q_.Inspect();
    EXPECT_EQ(shape.blocks, 1u);
    EXPECT_EQ(shape.headRead, 0u);
    EXPECT_EQ(shape.headWrite, 0u);
}

TEST_F(BlockQueueTest, AppendBeyondTheTailsRoomKeepsOrderAcrossTwoBlocks)
{
    Append(Bytes(10));     // block of kMin, 6 free
    Append(Bytes(20, 10)); // 6 into the tail, 14 into a new block of 20
    auto shape = q_.Inspect();
    EXPECT_EQ(shape.blocks, 2u);
    EXPECT_EQ(shape.headCapacity, kMin);
    EXPECT_EQ(shape.tailCapacity, 20u) << "a new block is sized by the whole append";
    EXPECT_EQ(q_.QueuedCount(), 30u);
    EXPECT_EQ(TakeAll(q_), Bytes(30));
    // The drained first block is freed because another follows; the last
    // one, small enough, stays.
    shape = q_.Inspect();
    EXPECT_EQ(shape.blocks, 1u);
    EXPECT_EQ(shape.headCapacity, 20u);
}

TEST_F(BlockQueueTest, PartialTakesWalkTheBlocksInOrder)
{
    for (std::uint8_t i = 0; i < 10; ++i)
        Append(Bytes(7, static_cast<std::uint8_t>(i * 7)));
    std::vector<std::uint8_t> got;
    std::uint8_t chunk[5];
    while (std::uint32_t k = q_.Take(chunk, sizeof chunk))
        got.insert(got.end(), chunk, chunk + k);
    EXPECT_EQ(got, Bytes(70));
    EXPECT_LE(q_.Inspect().blocks, 1u);
}

TEST_F(BlockQueueTest, ClearKeepsASingleSmallBlockAndFreesTheRest)
{
    Append(Bytes(10));
    q_.Clear();
    EXPECT_EQ(q_.QueuedCount(), 0u);
    EXPECT_EQ(q_.Inspect().blocks, 1u);
    EXPECT_EQ(q_.Inspect().headWrite, 0u);

    Append(Bytes(10));
    Append(Bytes(30));
    ASSERT_EQ(q_.Inspect().blocks, 2u);
    q_.Clear();
    EXPECT_EQ(q_.QueuedCount(), 0u);
    EXPECT_EQ(q_.Inspect().blocks, 0u);

    Append(Bytes(4 * kMin + 1));
    q_.Clear();
    EXPECT_EQ(q_.Inspect().blocks, 0u);

    Append(Bytes(3, 9));
    EXPECT_EQ(TakeAll(q_), Bytes(3, 9));
}

TEST(BlockQueueThreads, OneAppendsWhileAnotherTakesAndOrderHolds)
{
    CBlockQueue q;
    q.SetMinimumBlockSize(64);
    constexpr std::uint32_t kTotal = 200000;
    std::thread producer([&] {
        std::mt19937 rng(7);
        std::uint32_t sent = 0;
        std::vector<std::uint8_t> chunk;
        while (sent < kTotal) {
            const std::uint32_t n = std::min<std::uint32_t>(rng() % 300 + 1, kTotal - sent);
            chunk.resize(n);
            for (std::uint32_t i = 0; i < n; ++i)
                chunk[i] = static_cast<std::uint8_t>((sent + i) % 251);
            q.Append(chunk.data(), n);
            sent += n;
        }
    });
    std::uint32_t received = 0;
    bool inOrder = true;
    std::uint8_t buffer[97];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (received < kTotal && std::chrono::steady_clock::now() < deadline) {
        const std::uint32_t k = q.Take(buffer, sizeof buffer);
        for (std::uint32_t i = 0; i < k; ++i)
            inOrder &= buffer[i] == static_cast<std::uint8_t>((received + i) % 251);
        received += k;
    }
    producer.join();
    EXPECT_EQ(received, kTotal);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(q.QueuedCount(), 0u);
}

// With a limit the queue never holds more: what a reader could no longer use
// (the oldest bytes) goes, and is counted; the newest stay in order.
TEST(BlockQueueLimit, KeepsTheNewestBytesAndCountsTheDropped)
{
    struct Case
    {
        const char* name;
        std::vector<std::uint32_t> appends; // sizes, numbered on from 0
        std::uint32_t limit;
        std::uint64_t dropped;
    };
    const std::vector<Case> cases{
        {"within the limit", {10, 20}, 30, 0},
        {"one over", {10, 21}, 30, 1},
        {"one append larger than the limit", {5, 100}, 30, 75},
        {"many small appends", std::vector<std::uint32_t>(100, 7), 64, 700 - 64},
        {"no limit", {1000, 1000}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CBlockQueue q;
        q.SetMinimumBlockSize(kMin);
        q.SetLimit(c.limit);
        std::uint8_t next = 0;
        std::uint32_t total = 0;
        for (std::uint32_t n : c.appends) {
            const auto bytes = Bytes(n, next);
            q.Append(bytes.data(), n);
            next = static_cast<std::uint8_t>(next + n);
            total += n;
            if (c.limit != 0) {
                EXPECT_LE(q.QueuedCount(), c.limit);
            }
        }
        EXPECT_EQ(q.DroppedCount(), c.dropped);
        const auto kept = TakeAll(q);
        ASSERT_EQ(kept.size(), total - c.dropped);
        // The newest bytes, in order.
        EXPECT_EQ(kept, Bytes(static_cast<std::uint32_t>(kept.size()), static_cast<std::uint8_t>(c.dropped)));
    }
}

} // namespace
} // namespace qav
