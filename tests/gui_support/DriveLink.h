#pragma once
// Ticks a screen's link by hand (its timer no longer does) until
// `condition` holds, each tick once the device has answered the last one:
// however late a busy machine runs the screen, the device never looks lost
// and every request gets its answer. False if an answer never comes or
// `ticks` were not enough. For devices that answer every frame.
#include "view/ScreenLink.h"

#include "gui_support/WaitUntil.h"

namespace qav::test {

template <class Condition> bool DriveLink(ScreenLink& link, Condition condition, int ticks = 1000)
{
    link.TickByHand();
    for (int i = 0; i < ticks; ++i) {
        if (condition())
            return true;
        const std::uint32_t from = link.FramesTaken();
        link.TickNow();
        if (!WaitUntil([&] { return link.FramesTaken() != from; }))
            return false;
    }
    return condition();
}

// `count` ticks by hand, each answered.
inline bool DriveTicks(ScreenLink& link, int count)
{
    int ticks = 0;
    return DriveLink(link, [&] { return ticks++ == count; });
}

// `count` ticks by hand on a line that gives back what is sent, each tick
// once the line has given back the frame before it (nothing else answers).
inline bool DriveEchoedTicks(ScreenLink& link, int count)
{
    link.TickByHand();
    for (int i = 0; i < count; ++i) {
        const std::uint32_t from = link.EchoesHeard();
        link.TickNow();
        if (!WaitUntil([&] { return link.EchoesHeard() != from || link.FramesHeldBack(); }))
            return false;
    }
    return true;
}

} // namespace qav::test
