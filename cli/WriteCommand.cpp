// write: a checked configuration file onto one board or many at once, with
// a backup of each board's set first and, when asked, into its flash.
#include "BoardSession.h"
#include "Cli.h"
#include "CommandHandlers.h"
#include "ManyPorts.h"
#include "WriteChecks.h"
#include "WriteJob.h"

#include <ostream>

namespace qav::cli {
namespace {

// What one board's write shares with its engine: the file, the set kept
// apart, and the job the engine's events drive.
template <class B> class BoardWrite : public B::Events, public IWriteSteps
{
public:
    BoardWrite(const CheckedConfig& file, bool flash) : job(*this, flash), file_(file), flash_(flash) {}
    WriteJob job;
    // The engine this write drives; set before the port is opened.
    void SetLink(typename B::Link& link) { link_ = &link; }
    typename B::Link& Link() { return *link_; }

    void ApplyFile() override
    {
        ApplyConfig(file_, link_->Params());
        wanted_ = link_->Params();
    }

protected:
    const CheckedConfig& file_;
    const bool flash_;
    typename B::Link* link_ = nullptr;
    typename B::Params wanted_;
};

class ControllerWrite final : public BoardWrite<ControllerBoard>
{
public:
    using BoardWrite::BoardWrite;

    void BeginSettle() override
    {
        ControllerLinkState& state = link_->State();
        state.commandCode = kCmdNone;
        state.flashWritePending = false;
        state.SelectFrameType(kTypePoll);
    }
    void BeginWrite() override
    {
        result_ = nullptr;
        link_->Params() = wanted_;
        ControllerLinkState& state = link_->State();
        state.flashWritePending = flash_;
        state.SelectFrameType(kTypeGains);
    }

    void OnEchoDecoded(std::uint8_t type) override
    {
        job.Progress();
        if (job.phase() != WriteJob::Phase::ReadBack) {
            job.ReadAgain(); // the controller read back again: its set replaced ours
            return;
        }
        read_.OnEchoDecoded(type);
        if (read_.Complete())
            job.ReadBackComplete();
    }
    void OnLinkLost() override { job.ReadAgain(); }
    void OnTelemetry(const ControllerTelemetry&) override { job.Settled(); }
    void OnUploadAcknowledged(std::uint8_t type) override
    {
        job.Progress();
        if (type == kTypePan)
            job.Written();
    }
    void OnCommandResult(const ControllerResult& r, std::uint8_t m) override
    {
        if (job.Writing() && job.WriteTaken() && (r.code & ~kResultFailed) == kCmdWriteFlash) {
            result_ = &r;
            motorState_ = m;
            job.Stored();
        }
    }

    int Succeeded(std::ostream& out, std::ostream& err) const
    {
        if (result_)
            return ReportResult(*result_, motorState_, out, err);
        out << Say(Message::ParametersUploaded) << '\n';
        return kExitOk;
    }

private:
    ControllerSetRead read_;
    const ControllerResult* result_ = nullptr;
    std::uint8_t motorState_ = 0;
};

class MotorWrite final : public BoardWrite<MotorBoard>
{
public:
    using BoardWrite::BoardWrite;

    void BeginSettle() override
    {
        MotorLinkState& s = link_->State();
        s.flashPending = false;
        s.flashWriteFlag = 0;
        s.command = kMotorCmdMonitor;
    }
    void BeginWrite() override
    {
        link_->Params() = wanted_;
        if (flash_)
            link_->SetFlashPending();
        link_->RequestCommand(kMotorCmdWrite);
    }

    void OnParameterReport(const MotorParams&) override
    {
        job.Progress();
        if (job.phase() == WriteJob::Phase::ReadBack)
            job.ReadBackComplete();
        else
            job.ReadAgain(); // lost and found again: the same values go again
    }
    void OnMonitor(std::uint16_t, std::uint16_t) override { job.Settled(); }
    void OnParametersAccepted(bool flashNext) override
    {
        job.Progress();
        if (!flashNext)
            job.Written();
    }
    void OnFlashResult(bool stored) override
    {
        if (!job.Writing())
            return;
        job.Progress();
        if (stored)
            job.Stored();
        else
            job.FlashRefused();
    }

    int Succeeded(std::ostream& out, std::ostream&) const
    {
        out << Say(flash_ ? Message::FlashWritten : Message::ParametersUploaded) << '\n';
        return kExitOk;
    }
};

// The file checked once for every port, and how to write it.
struct WriteRequest
{
    const std::string& file;
    const CheckedConfig& checked;
    bool flash, backup, allowOutOfRange;
};

// One port's write: read back, keep a backup of what was read, write, and
// with `flash` store. Says what happened on `out` and `err`.
template <class B, class Write>
int WriteToPort(const WriteRequest& w, const std::string& port, std::ostream& out, std::ostream& err,
                const volatile std::sig_atomic_t* stop)
{
    const BoardRow& board = RowOf<B>();
    typename B::Params params;
    Write write(w.checked, w.flash);
    const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(board);
    if (!w.allowOutOfRange)
        write.job.refuse = [&] {
            return CrossedWithKeptValues(w.file, w.checked, keys, board.device, [&](std::string_view key) {
                return ConfigValueOf(key, write.Link().Params());
            });
        };
    std::string backupWhy;
    if (w.backup)
        write.job.backup = [&] {
            std::string path;
            const Result saved = BackupParams(DefaultBackupFolder(), write.Link().Params(), port, path);
            if (!saved) {
                backupWhy = saved.message;
                return false;
            }
            Note(err, Say(Message::BackupSaved, {board.device, port, ShortenHome(path)}));
            return true;
        };
    typename B::Session session(params, write);
    write.SetLink(session.Link());
    if (const int rc = OpenOrFail(session, port, err))
        return rc;
    const auto outcome = session.RunUntil([&] { return write.job.Step(); }, kAnswerTimeout, stop);
    if (const int rc = Ended(outcome, session, port, err, stop,
                             Say(write.job.Writes() == 0 ? Message::NoParametersSent : B::kUnfinished)))
        return rc;
    switch (write.job.phase()) {
    case WriteJob::Phase::NoBackup:
        return Fail(err, kExitUsage, Say(Message::NoBackup, {backupWhy}));
    case WriteJob::Phase::Refused:
        return Fail(err, kExitUsage, write.job.Refusal());
    case WriteJob::Phase::Stuck:
        return Fail(err, kExitNoAnswer, Say(Message::NotTaken, {board.device, port}));
    case WriteJob::Phase::FlashRefused:
        return Fail(err, kExitDeviceFail,
                    Say(Message::FlashRefused, {SecondsText(WriteJob::kRefusalPatience)}));
    default:
        break;
    }
    return write.Succeeded(out, err);
}

// The write each board's engine takes.
template <class B> struct WriteOf;
template <> struct WriteOf<ControllerBoard>
{
    using Type = ControllerWrite;
};
template <> struct WriteOf<MotorBoard>
{
    using Type = MotorWrite;
};

template <class B, class Write = typename WriteOf<B>::Type>
int WriteFile(const CommandCall& call, const std::vector<std::string>& ports)
{
    // The whole file is checked before a port is opened: a file that
    // cannot be sent as it is sends nothing.
    const std::string& file = call.Operands()[0];
    const bool allowOutOfRange = call.options.Flag("--allow-out-of-range");
    const BoardRow& board = RowOf<B>();
    const std::vector<ConfigKeyRange> keys = ConfigKeyRanges(board);
    const std::vector<std::string_view> writeOnly = ConfigWriteOnlyKeys(board);
    CheckedConfig checked;
    const Result read = ReadCheckedConfig(file, board.section, keys, checked, writeOnly);
    if (!read && checked.unheld.empty())
        return Fail(call.err, kExitUsage, read.message);
    if (const int rc = CheckBeforeSending(file, read, checked, board.section, keys, board.device,
                                          allowOutOfRange, call.err))
        return rc;
    if (!checked.missing.empty())
        Note(call.err, Say(checked.missing.size() == 1 ? Message::KeyMissing : Message::KeysMissing,
                           {file, JoinKeys(checked.missing), board.owner}));
    const WriteRequest request{file, checked, call.options.Flag("--flash"), !call.options.Flag("--no-backup"),
                               allowOutOfRange};
    return RunOnPorts(
        ports,
        [&](const std::string& port, std::ostream& out, std::ostream& err) {
            return WriteToPort<B, Write>(request, port, out, err, call.stop);
        },
        call.out, call.err);
}

} // namespace

int RunWrite(const CommandCall& call)
{
    const auto board = ChosenBoard(call.options);
    if (!board)
        return Fail(call.err, kExitUsage, BadBoard());
    const std::vector<std::string>& ports = call.options.all.find("--port")->second;
    if (const std::string* twice = RepeatedPort(ports))
        return Fail(call.err, kExitUsage, Say(Message::PortGivenTwice, {*twice}));
    return WithBoard(*board, [&](auto kind) { return WriteFile<decltype(kind)>(call, ports); });
}

} // namespace qav::cli
