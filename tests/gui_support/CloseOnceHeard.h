#pragma once
// Closes a screen's port between two of its ticks, once the simulated board
// has heard every frame the screen sent: a frame still on its way when the
// port closes may be lost with it, and the tests that use this need the
// count exact (a stray frame would also set a boot loader's baud rate).
#include "Simulator.h"
#include "gui_support/WaitUntil.h"
#include "protocol/Frame.h"
#include "serial/SerialLink.h"

namespace qav::test {

template <class Close>
bool CloseOnceHeard(sim::Simulator& sim, sim::DeviceKind board, const CSerialLink& serial, Close close)
{
    const bool heard =
        WaitUntil([&] { return sim.Stats(board).framesReceived * kFrameSize == serial.SentTotal(); });
    close();
    return heard;
}

} // namespace qav::test
