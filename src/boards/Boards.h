#pragma once
// The boards this tool talks to, one row each: how messages name them,
// their configuration files, their firmware container, the frames their
// firmware answers and their parameter table. Every path that tells one
// board from another reads its row, so a board is written here once.
//
// Above the protocol engines (protocol/, motor/), whose tables the rows
// point at; below files, upgrade, the front ends and the simulator.
#include "motor/MotorParamTable.h"
#include "protocol/ControllerParamTable.h"
#include "protocol/Frame.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace qav {

// Which row; also the row's place in Boards().
enum class BoardId : std::uint8_t { Controller, Motor };

// One parameter of a board's table, seen without the board's record: what
// the files and their checks need of it.
struct BoardParam
{
    std::string_view key;
    FileUse file = FileUse::None;
    ValueRange field; // what the field itself holds
    WireForm wire;    // how it travels to the board
    ValueRange range; // what the screens let it be
    std::span<const ParamChoice> choices;
    std::string_view above;
};

struct BoardRow
{
    BoardId id;
    std::string_view word;         // --board's value and the reference's board column: "motor"
    std::string_view device;       // in messages: "the motor board on COM3"
    std::string_view owner;        // whose values: "the board's values are kept"
    std::string_view firmwareName; // in the upgrade's messages: "the file is for the motor board"
    std::string_view section;      // of its configuration files
    // Its configuration files' extensions; the first is the one its dialog
    // saves and its backups take.
    std::span<const std::string_view> configExtensions;
    std::uint8_t firmwareByte;               // the firmware container's board byte
    std::string_view firmwareExtension;      // of its firmware containers
    std::uint8_t header0, header1;           // of every frame to and from it
    Frame (*poll)();                         // a frame its firmware answers and that changes nothing
    std::span<const BoardParam> (*params)(); // its parameter table, in table order
};

std::span<const BoardRow> Boards();
const BoardRow& BoardOf(BoardId id);
// The row whose word is `word`, or null.
const BoardRow* BoardNamed(std::string_view word);
// The row of a firmware container's board byte, or null.
const BoardRow* BoardOfFirmware(std::uint8_t byte);
// The extension its backups take.
inline std::string_view BackupExtension(const BoardRow& board)
{
    return board.configExtensions.front();
}

// The board whose parameter set is S, and that set's typed table. A board's
// row and this are all a new board adds here.
template <class S> struct BoardRecord;
template <> struct BoardRecord<ControllerParams>
{
    static constexpr BoardId kBoard = BoardId::Controller;
    static std::span<const ControllerParamRow> Table() { return ControllerParamTable(); }
    static const ControllerParamRow* Find(std::string_view key) { return FindControllerParam(key); }
};
template <> struct BoardRecord<MotorParams>
{
    static constexpr BoardId kBoard = BoardId::Motor;
    static std::span<const MotorParamRow> Table() { return MotorParamTable(); }
    static const MotorParamRow* Find(std::string_view key) { return FindMotorParam(key); }
};
template <class S> const BoardRow& BoardOfRecord()
{
    return BoardOf(BoardRecord<S>::kBoard);
}

} // namespace qav
