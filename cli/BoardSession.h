#pragma once
// What the commands that talk to a board share: which board --board names,
// each board's session and parameter set as one kind (ControllerBoard,
// MotorBoard) beside its row (boards/Boards.h), so that one piece of code
// reads, writes and compares either; opening the port and wording how a session ended.
#include "CliOptions.h"
#include "CliReport.h"
#include "ControllerSession.h"
#include "MotorSession.h"
#include "files/Backups.h"
#include "files/ConfigFile.h"
#include "files/ConfigFileCheck.h"
#include "motor/MotorParamTable.h"
#include "protocol/ControllerParamTable.h"

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav::cli {

// --board: the board whose row has the word given, the controller when the
// option is not given; nothing for another word.
std::optional<BoardId> ChosenBoard(const Options& options);
// The boards' words as a choice: "controller or motor".
std::string BoardWords();
// Why --board's word names no board.
std::string BadBoard();

// Tells when a read-back of the board's whole set is complete.
struct ControllerSetRead final : IControllerEvents
{
    unsigned quarters = 0; // a bit per echo quarter
    void OnEchoDecoded(std::uint8_t type) override { quarters |= 1u << (type - kTypeReadGains); }
    bool Complete() const { return quarters == 0xF; }
};
struct MotorSetRead final : IMotorEvents
{
    bool reported = false;
    void OnParameterReport(const MotorParams&) override { reported = true; }
    bool Complete() const { return reported; }
};

struct ControllerBoard
{
    using Params = ControllerParams;
    using Session = ControllerSession;
    using Link = ControllerLink;
    using Events = IControllerEvents;
    using SetRead = ControllerSetRead;
    static constexpr Message kUnfinished = Message::UploadUnfinished;
};

struct MotorBoard
{
    using Params = MotorParams;
    using Session = MotorSession;
    using Link = MotorLink;
    using Events = IMotorEvents;
    using SetRead = MotorSetRead;
    static constexpr Message kUnfinished = Message::WriteUnfinished;
};

// The row of a board's kind (ControllerBoard, MotorBoard).
template <class B> const BoardRow& RowOf()
{
    return BoardOfRecord<typename B::Params>();
}

// Calls `f` with the kind of the board `id` names: the one place where the
// command line goes from a board's row to its session's types.
template <class F> decltype(auto) WithBoard(BoardId id, F&& f)
{
    switch (id) {
    case BoardId::Motor:
        return f(MotorBoard{});
    case BoardId::Controller:
        break;
    }
    return f(ControllerBoard{});
}

// Opens `port`: kExitOk, or kExitPort after saying why it does not open.
int OpenOrFail(LinkSession& session, const std::string& port, std::ostream& err);

// How a session's run ended, as an exit code: kExitOk when done; after a
// stop signal, 128 + its number and what was left `undone`; after silence,
// kExitNoAnswer with the session's sentence for it.
int Ended(LinkSession::Outcome outcome, const LinkSession& session, const std::string& port,
          std::ostream& err, const volatile std::sig_atomic_t* stop, std::string_view undone);

// Opens `port` and reads the board's whole set into `params`; the exit code
// as Ended gives it.
template <class B>
int ReadBoardSet(typename B::Params& params, const std::string& port, std::ostream& err,
                 const volatile std::sig_atomic_t* stop, std::string_view undone)
{
    typename B::SetRead read;
    typename B::Session session(params, read);
    if (const int rc = OpenOrFail(session, port, err))
        return rc;
    const auto outcome = session.RunUntil([&] { return read.Complete(); }, kAnswerTimeout, stop);
    return Ended(outcome, session, port, err, stop, undone);
}

// A controller's result for a command: its words on `out` and kExitOk, or
// on `err` with kExitDeviceFail when it failed (a motor-on answered "done"
// while the motors stay off failed too).
int ReportResult(const ControllerResult& result, std::uint8_t motorState, std::ostream& out,
                 std::ostream& err);

// A whole configuration file made in memory by the file's own writer: byte
// for byte what a save into a new file stores.
std::string ConfigText(const std::vector<IniEntry>& entries);

} // namespace qav::cli
