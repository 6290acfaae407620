// The probe that tells a board waiting in its boot loader from a silent one,
// driven on a clock of its own as a link timer would drive it.
#include "upgrade/BootLoaderProbe.h"

#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace qav {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = BootLoaderProbe::Clock;

constexpr std::uint8_t A = 0x79, N = 0x1F;

struct Case
{
    const char* name;
    Bytes heardWithFrames; // what the line brought while the link sent frames
    bool frameAfter;       // a valid frame came after those bytes
    // The answer to the n-th sync byte (from 0), 5 ms after it.
    std::function<Bytes(int n)> answer;
    bool chatter; // the line keeps bringing bytes every 10 ms, probe or not
    bool found;
    int syncs; // sync bytes the probe sent
};

TEST(BootLoaderProbe, TellsABootLoaderFromASilentBoard)
{
    const auto none = [](int) { return Bytes{}; };
    const std::vector<Case> cases{
        {"a fresh boot loader answers the first sync with ACK", {}, false, [](int) { return Bytes{A}; }, false, true,
         1},
        {"one in step takes the first as a command and refuses the second", {}, false,
         [](int n) { return n == 1 ? Bytes{N} : Bytes{}; }, false, true, 2},
        {"one that answered the frames with NACKs", Bytes(32, N), false, none, false, true, 2},
        {"a silent board", {}, false, none, false, false, 2},
        {"a running firmware's stray byte is no answer", {}, false, [](int) { return Bytes{0xAB}; }, false, false,
         1},
        {"a few NACKs among noise", {0x12, N, 0x34, 0x56, 0x78, N, 0x9A}, false, none, false, false, 2},
        {"NACKs before a valid frame count no more", Bytes(32, N), true, none, false, false, 2},
        {"a line that never falls quiet", {}, false, none, true, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderProbe probe;
        Clock::time_point now{};
        probe.OnBytes(c.heardWithFrames, now);
        if (c.frameAfter)
            probe.OnFrame();
        now += 20ms;
        probe.Begin(now);
        std::vector<std::pair<Clock::time_point, Bytes>> due; // answers on their way
        int syncs = 0;
        for (int tick = 0; tick < 300 && !probe.Done(); ++tick, now += 5ms) {
            if (c.chatter && tick % 2 == 0)
                probe.OnBytes(Bytes{0x55}, now);
            for (auto it = due.begin(); it != due.end();)
                if (it->first <= now) {
                    probe.OnBytes(it->second, now);
                    it = due.erase(it);
                } else {
                    ++it;
                }
            if (const auto b = probe.Step(now)) {
                EXPECT_EQ(*b, 0x7F);
                due.emplace_back(now + 5ms, c.answer(syncs++));
            }
        }
        ASSERT_TRUE(probe.Done());
        EXPECT_EQ(probe.BootLoaderFound(), c.found);
        EXPECT_EQ(syncs, c.syncs);
        // Over for good until reset; then it starts listening again.
        EXPECT_EQ(probe.Step(now + 1s), std::nullopt);
        probe.Reset();
        EXPECT_FALSE(probe.Done());
        EXPECT_FALSE(probe.BootLoaderFound());
    }
}

} // namespace
} // namespace qav
