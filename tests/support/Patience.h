#pragma once
// How long a test waits for what must happen. A test never waits a fixed
// time for something to happen: it waits for the thing itself, for up to
// kPatience, which only a hang runs out, however busy the machine is.
#include <chrono>
#include <thread>

namespace qav::test {

inline constexpr std::chrono::milliseconds kPatience{60'000};

// Checks `condition` until it holds; false once `patience` has run out. For
// states that say nothing when they change (a file another program writes,
// a counter of another thread); the pause between checks only saves CPU.
template <class Condition>
bool PollUntil(Condition&& condition, std::chrono::milliseconds patience = kPatience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace qav::test
