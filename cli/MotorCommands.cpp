#include "MotorCommands.h"

#include "Cli.h"
#include "CliReport.h"
#include "MotorSession.h"
#include "WriteChecks.h"
#include "files/Backups.h"
#include "motor/MotorConfigFile.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>

namespace qav::cli {
namespace {

using Clock = std::chrono::steady_clock;
using Outcome = MotorSession::Outcome;

int OpenOrFail(MotorSession& session, const std::string& port, std::ostream& err)
{
    if (const Result r = session.Open(port); !r)
        return Fail(err, kExitPort, r.message);
    return kExitOk;
}

struct ReportWatch final : IMotorEvents
{
    bool reported = false;
    void OnParameterReport(const MotorParams&) override { reported = true; }
};

// Prints one line per monitor report.
struct MonitorPrinter final : IMotorEvents
{
    MonitorPrinter(std::ostream& out, bool json, long limit) : out(out), json(json), limit(limit) {}
    std::ostream& out;
    bool json;
    long limit; // lines to print; -1 for no end
    long printed = 0;
    bool gone = false; // the reader of the output has gone
    std::optional<std::uint8_t> firmware;

    bool Done() const { return gone || (limit >= 0 && printed >= limit); }
    void OnFirmwareVersion(std::uint8_t tenths) override { firmware = tenths; }
    void OnMonitor(std::uint16_t voltageRaw, std::uint16_t currentRaw) override
    {
        // One read may bring several reports; print no more than asked for.
        if (Done())
            return;
        const double volts = voltageRaw * kMotorVoltsPerUnit;
        const double amps = currentRaw * kMotorAmpsPerUnit;
        char fw[16] = "";
        if (firmware)
            std::snprintf(fw, sizeof fw, "%.1f", *firmware / 10.0);
        char line[128];
        if (json)
            std::snprintf(line, sizeof line, "{\"voltage\":%.3f,\"current\":%.3f,\"firmware\":%s}", volts,
                          amps, firmware ? fw : "null");
        else
            std::snprintf(line, sizeof line, "voltage %.3f current %.3f firmware %s", volts, amps,
                          firmware ? fw : "-");
        out << line << std::endl;
        gone = !out;
        ++printed;
    }
};

// The write of a checked file, step by step. The board's own parameters are
// read first, for the keys the file lacks. Replies still in flight are let
// in before the values are sent (a monitor report comes after every reply
// to what was sent before it), so no late parameter report turns the write
// back into monitoring; if the board reports its parameters again during
// the write (it was lost and found again), the same values are sent again.
class MotorWriteJob final : public IMotorEvents
{
public:
    MotorWriteJob(const CheckedConfig& file, bool flash) : file_(file), flash_(flash) {}
    void SetLink(MotorLink& link) { link_ = &link; }
    // Called with the board's own set once it is read, before anything is
    // changed; false stops the job with nothing sent.
    std::function<bool(const MotorParams&)> backup;

    enum class Phase { ReadBack, Settle, Write, Done, Refused, Stuck, NoBackup };
    Phase phase() const { return phase_; }
    int Writes() const { return writes_; }

    // How long the board may go on refusing the flash write; and how long it
    // may answer without taking the parameters.
    static constexpr std::chrono::seconds kRefusalPatience{3};
    static constexpr std::chrono::seconds kNoProgressTimeout{5};

    // Moves on when the step in progress is complete; true when over.
    bool Step()
    {
        const auto now = Clock::now();
        const Phase before = phase_;
        switch (phase_) {
        case Phase::ReadBack:
            if (reported_) {
                if (backup && !backup(link_->Params())) {
                    phase_ = Phase::NoBackup;
                    return true;
                }
                ApplyMotorConfig(file_, link_->Params());
                wanted_ = link_->Params();
                BeginSettle();
            }
            break;
        case Phase::Settle:
            if (settled_)
                BeginWrite();
            break;
        case Phase::Write:
            if (resync_)
                BeginSettle();
            else if (flash_ ? stored_ : accepted_)
                phase_ = Phase::Done;
            else if (firstRefusal_ && now - *firstRefusal_ >= kRefusalPatience)
                phase_ = Phase::Refused;
            break;
        default:
            break;
        }
        if (phase_ != before || progress_)
            lastProgress_ = now;
        progress_ = false;
        if (phase_ == Phase::Settle || phase_ == Phase::ReadBack || phase_ == Phase::Write)
            if (now - lastProgress_ > kNoProgressTimeout)
                phase_ = Phase::Stuck;
        return phase_ == Phase::Done || phase_ == Phase::Refused || phase_ == Phase::Stuck;
    }

    void OnParameterReport(const MotorParams&) override
    {
        progress_ = true;
        if (phase_ == Phase::ReadBack)
            reported_ = true;
        else if (phase_ == Phase::Write)
            resync_ = true;
    }
    void OnMonitor(std::uint16_t, std::uint16_t) override { settled_ = phase_ == Phase::Settle; }
    void OnParametersAccepted(bool flashNext) override
    {
        progress_ = true;
        if (phase_ == Phase::Write && !flashNext)
            accepted_ = true;
    }
    void OnFlashResult(bool stored) override
    {
        if (phase_ != Phase::Write)
            return;
        progress_ = true;
        if (stored)
            stored_ = true;
        else if (!firstRefusal_)
            firstRefusal_ = Clock::now();
    }

private:
    void BeginSettle()
    {
        phase_ = Phase::Settle;
        settled_ = false;
        MotorLinkState& s = link_->State();
        s.flashPending = false;
        s.flashWriteFlag = 0;
        s.command = kMotorCmdMonitor;
    }
    void BeginWrite()
    {
        phase_ = Phase::Write;
        resync_ = accepted_ = stored_ = false;
        link_->Params() = wanted_;
        if (flash_)
            link_->SetFlashPending();
        link_->RequestCommand(kMotorCmdWrite);
        ++writes_;
    }

    MotorLink* link_ = nullptr;
    const CheckedConfig& file_;
    const bool flash_;
    Phase phase_ = Phase::ReadBack;
    MotorParams wanted_;
    bool reported_ = false, settled_ = false, resync_ = false, accepted_ = false, stored_ = false,
         progress_ = false;
    std::optional<Clock::time_point> firstRefusal_;
    int writes_ = 0;
    Clock::time_point lastProgress_ = Clock::now();
};

} // namespace

int MotorRead(const std::string& port, const std::string& outFile, std::ostream& out, std::ostream& err,
              const volatile std::sig_atomic_t* stop)
{
    MotorParams params;
    ReportWatch watch;
    MotorSession session(params, watch);
    if (int rc = OpenOrFail(session, port, err))
        return rc;
    const Outcome outcome = session.RunUntil([&] { return watch.reported; }, kAnswerTimeout, stop);
    if (outcome == Outcome::Stopped)
        return Interrupted(err, stop, "nothing was read");
    if (outcome == Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, session.NoAnswerSentence(port));
    if (!outFile.empty()) {
        if (const Result r = SaveMotorConfig(outFile, params); !r)
            return Fail(err, kExitUsage, "Cannot write " + outFile + ": " + r.message + ".");
        return kExitOk;
    }
    // Rendered in memory by the file's own writer: byte for byte what a save
    // into a new file stores.
    IniDocument doc;
    for (const IniEntry& e : MotorConfigEntries(params))
        doc.Set(e.section, e.key, e.value);
    out << doc.Text() << std::flush;
    if (!out)
        return Fail(err, kExitUsage, "Cannot write the standard output.");
    return kExitOk;
}

int MotorMonitor(const std::string& port, long count, bool json, std::ostream& out, std::ostream& err,
                 const volatile std::sig_atomic_t* stop)
{
    MotorParams params;
    MonitorPrinter printer(out, json, count);
    MotorSession session(params, printer);
    if (int rc = OpenOrFail(session, port, err))
        return rc;
    // Straight to monitoring: looking needs no parameter report.
    session.Link().RequestCommand(kMotorCmdMonitor);
    // A monitor ends normally when stopped, so a signal is no failure here.
    if (session.RunUntil([&] { return printer.Done(); }, kAnswerTimeout, stop) == Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, session.NoAnswerSentence(port));
    return kExitOk;
}

int MotorWrite(const std::string& port, const std::string& file, bool flash, bool backup, bool allowOutOfRange,
               std::ostream& out, std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    // The whole file is checked before the port is opened.
    CheckedConfig checked;
    const std::vector<ConfigKeyRange> keys = MotorConfigKeyRanges();
    if (const Result r = ReadCheckedConfig(file, kMotorConfigSection, keys, checked); !r)
        return Fail(err, kExitUsage, r.message);
    if (const int rc = CheckBeforeSending(file, checked, keys, "motor board", allowOutOfRange, err))
        return rc;
    if (!checked.missing.empty())
        err << kProgram << ": " << file << " has no " << JoinKeys(checked.missing)
            << (checked.missing.size() == 1 ? "; the board's value is kept.\n"
                                            : "; the board's values are kept.\n");

    MotorParams params;
    MotorWriteJob job(checked, flash);
    std::string backupWhy;
    if (backup)
        job.backup = [&](const MotorParams& read) {
            std::string path;
            if (const Result r =
                    WriteBackup(DefaultBackupFolder(), kMotorBackupExtension, port,
                                [&](const std::string& to) { return SaveMotorConfig(to, read); }, path);
                !r) {
                backupWhy = r.message;
                return false;
            }
            err << kProgram << ": The motor board's set on " << port << " was saved to " << ShortenHome(path)
                << ".\n";
            return true;
        };
    MotorSession session(params, job);
    job.SetLink(session.Link());
    if (int rc = OpenOrFail(session, port, err))
        return rc;
    const Outcome outcome = session.RunUntil([&] { return job.Step(); }, kAnswerTimeout, stop);
    if (outcome == Outcome::Stopped)
        return Interrupted(err, stop,
                           job.Writes() == 0 ? "no parameters were sent" : "the write may not have finished");
    if (outcome == Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, session.NoAnswerSentence(port));
    switch (job.phase()) {
    case MotorWriteJob::Phase::NoBackup:
        return Fail(err, kExitUsage, backupWhy + " Nothing was sent (--no-backup skips the backup).");
    case MotorWriteJob::Phase::Refused:
        return Fail(err, kExitDeviceFail, "Write flash failed! The board refused for 3 seconds.");
    case MotorWriteJob::Phase::Stuck:
        return Fail(err, kExitNoAnswer,
                    "The motor board on " + port + " answered but did not take the parameters.");
    default:
        break;
    }
    out << (flash ? "Write flash successfully!\n" : "Parameters uploaded.\n");
    return kExitOk;
}

} // namespace qav::cli
