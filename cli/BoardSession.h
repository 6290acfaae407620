#pragma once
// What the commands that talk to a board share: which board --board names,
// each board's session, parameter set and files as one kind of row
// (ControllerBoard, MotorBoard), so that one piece of code reads, writes and
// compares either; opening the port and wording how a session ended.
#include "CliOptions.h"
#include "CliReport.h"
#include "ControllerSession.h"
#include "MotorSession.h"
#include "files/Backups.h"
#include "files/ConfigFileCheck.h"
#include "files/ControllerConfigFile.h"
#include "motor/MotorConfigFile.h"
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

// --board: the controller (also when the option is not given) or the motor
// board; nothing for another word.
enum class Board { Controller, Motor };
inline constexpr std::string_view kBoardNames[] = {"controller", "motor"}; // in the order of Board
std::optional<Board> BoardNamed(std::string_view name);
std::optional<Board> ChosenBoard(const Options& options);
inline constexpr const char* kBadBoard = "Option --board takes controller or motor.";

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
    static constexpr std::string_view kDevice = "controller";   // "the controller on COM3"
    static constexpr std::string_view kKeeper = "controller's"; // "the controller's values are kept"
    static constexpr std::string_view kUnfinished = "the upload may not have finished";
    static constexpr std::string_view kSection = kControllerConfigSection;
    static constexpr std::string_view kBackupExtension = kControllerBackupExtension;
    static std::vector<ConfigKeyRange> Keys() { return ControllerConfigKeyRanges(); }
    // Keys a save writes that are never read back.
    static std::vector<std::string_view> WriteOnlyKeys() { return ControllerConfigWriteOnlyKeys(); }
    static std::vector<IniEntry> Entries(const Params& p) { return ControllerConfigEntries(p); }
    static Result Save(const std::string& path, const Params& p) { return SaveControllerConfig(path, p); }
    static void Apply(const CheckedConfig& checked, Params& p) { ApplyControllerConfig(checked, p); }
    static std::int64_t Value(std::string_view key, const Params& p)
    {
        return GetParam(*FindControllerParam(key), p);
    }
};

struct MotorBoard
{
    using Params = MotorParams;
    using Session = MotorSession;
    using Link = MotorLink;
    using Events = IMotorEvents;
    using SetRead = MotorSetRead;
    static constexpr std::string_view kDevice = "motor board";
    static constexpr std::string_view kKeeper = "board's";
    static constexpr std::string_view kUnfinished = "the write may not have finished";
    static constexpr std::string_view kSection = kMotorConfigSection;
    static constexpr std::string_view kBackupExtension = kMotorBackupExtension;
    static std::vector<ConfigKeyRange> Keys() { return MotorConfigKeyRanges(); }
    static std::vector<std::string_view> WriteOnlyKeys() { return {}; }
    static std::vector<IniEntry> Entries(const Params& p) { return MotorConfigEntries(p); }
    static Result Save(const std::string& path, const Params& p) { return SaveMotorConfig(path, p); }
    static void Apply(const CheckedConfig& checked, Params& p) { ApplyMotorConfig(checked, p); }
    static std::int64_t Value(std::string_view key, const Params& p)
    {
        return GetParam(*FindMotorParam(key), p);
    }
};

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
