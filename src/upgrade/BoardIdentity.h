#pragma once
// Which board's running firmware answers on a line, asked before the boot
// loader is: the poll of the board an upgrade serves, then every other
// board's (their rows' polls, boards/Boards.h), each sent a few times and listened to briefly. A board
// already in its boot loader answers neither (at best with NACK bytes); a freshly reset one may take the
// first poll byte for its baud-rate byte, which is why the owners skip this where they know the board waits
// in its boot loader.
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

struct BoardHeard
{
    enum What {
        Nothing,  // no valid frame of any board
        Answered, // `board` answered
        Stopped,  // the line was stopped
        Gone,     // the device went away
    };
    constexpr BoardHeard(What w = Nothing, BoardId b = BoardId::Controller) : what(w), board(b) {}
    What what;
    BoardId board;
    constexpr bool operator==(const BoardHeard&) const = default;
};

struct IdentifyTiming
{
    std::chrono::milliseconds listen{150}; // per board
    std::chrono::milliseconds repeat{50};  // the poll again this often
};

// The poll the firmware of `board` answers.
inline Frame BoardPoll(BoardId board)
{
    return BoardOf(board).poll();
}

// Polls the board `serves` names, then every other one, until a valid
// answer of any board arrives; at most `listen` per board.
BoardHeard IdentifyBoard(IBootLine& line, BoardId serves, IdentifyTiming timing = {});

} // namespace qav
