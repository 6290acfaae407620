#pragma once
// Which board's running firmware answers on a line, asked before the boot
// loader is: the poll of the board an upgrade serves, then the other
// board's, each sent a few times and listened to briefly. A board already in
// its boot loader answers neither (at best with NACK bytes); a freshly reset
// one may take the first poll byte for its baud-rate byte, which is why the
// owners skip this where they know the board waits in its boot loader.
//
// The polls change nothing on a board: a plain controller poll without a
// command, and the motor board's monitor request.
//
// One thread at a time, like the boot loader client.
#include "protocol/Frame.h"
#include "upgrade/BootPort.h"
#include "upgrade/FirmwareFile.h"

#include <chrono>

namespace qav {

enum class BoardHeard {
    Nothing, // no valid frame of either board
    Controller,
    Motor,
    Stopped, // the line was stopped
    Gone,    // the device went away
};

struct IdentifyTiming
{
    std::chrono::milliseconds listen{150}; // per board
    std::chrono::milliseconds repeat{50};  // the poll again this often
};

// The poll the firmware of `board` answers.
Frame BoardPoll(FirmwareBoard board);
// The board that is not `board`.
inline FirmwareBoard OtherBoard(FirmwareBoard board)
{
    return board == FirmwareBoard::Controller ? FirmwareBoard::Motor : FirmwareBoard::Controller;
}

// Polls the board `serves` names, then the other one, until a valid answer
// of either board arrives; at most 2 × `listen`.
BoardHeard IdentifyBoard(IBootLine& line, FirmwareBoard serves, IdentifyTiming timing = {});

} // namespace qav
