#include "Cli.h"

#include "CliOptions.h"
#include "CliReport.h"
#include "ControllerSession.h"
#include "DiffCommand.h"
#include "MotorCommands.h"
#include "UpgradeCommands.h"
#include "WriteChecks.h"
#include "files/Backups.h"
#include "files/ConfigFileCheck.h"
#include "files/ControllerConfigFile.h"
#include "files/CsvRecorder.h"
#include "platform/IniFile.h"
#include "protocol/ControllerParamTable.h"
#include "protocol/ControllerResults.h"
#include "protocol/StatusMarkup.h"
#include "protocol/TelemetrySample.h"
#include "serial/PortList.h"
#include "serial/SerialLink.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace qav::cli {
namespace {

// One row per command: its synopsis and what it does, for the usage texts.
struct CommandHelp
{
    const char* name;
    const char* synopsis;
    const char* summary;
};
constexpr CommandHelp kCommandHelp[] = {
    {"ports", "ports [--json]",
     "list the serial ports, one a line: name, device and a USB adapter's product and serial;\n"
     "--json gives one JSON object a line"},
    {"read", "read [--board B] --port PORT [-o FILE]",
     "read the board's parameters and print them (or write FILE) as a configuration file"},
    {"monitor", "monitor [--board B] --port PORT [--count N] [--json | --csv]",
     "print live telemetry, one line per answer, until N lines or interrupted; --json lines carry t,\n"
     "the seconds since the first line (the motor board: voltage, current and firmware); --csv prints\n"
     "the controller's as a header line, then the same fields as rows"},
    {"write",
     "write [--board B] --port PORT [--port PORT ...] FILE [--flash] [--no-backup]\n"
     "        [--allow-out-of-range]",
     "send a configuration file's parameters over the board's own (keys the file lacks keep\n"
     "the board's values), then with --flash store them in the board's flash; the file is\n"
     "checked before the port is opened: keys that are no parameter are named and ignored, and a\n"
     "value outside the range the screen allows, a maximum not above its minimum or an odd angle\n"
     "limit is refused (--allow-out-of-range sends such values as the board's frames carry them,\n"
     "for files saved from a board that holds them; values the frames cannot carry are refused\n"
     "always). The controller's set read back is first saved in\n"
     "~/.local/share/qav-nuva/backups (the last 50 kept) unless --no-backup is given. With several\n"
     "ports, all are written at the same time and each gives one line when it ends: port, ok, failed\n"
     "or interrupted, seconds, what happened; the exit code is the worst of them"},
    {"diff", "diff [--board B] FILE_A FILE_B | diff [--board B] --port PORT FILE [--exit-code]",
     "list each parameter whose value differs between two configuration files, or between the\n"
     "board's set and a file, one line each: key, first value, second value, separated by tabs\n"
     "(values as a load reads them; a key only one file has shows \"(missing)\" for the other, and\n"
     "against a board the keys the file lacks are left out, since a load keeps the board's values\n"
     "for them); keys that are no parameter are named and ignored; --exit-code exits with 1 when\n"
     "anything differs"},
    {"motor-on", "motor-on --port PORT", "switch the motors on"},
    {"motor-off", "motor-off --port PORT", "switch the motors off"},
    {"calibrate", "calibrate --port PORT", "calibrate the sensors"},
    {"upgrade", "upgrade --port PORT [--port PORT ...] [--board controller|motor] [--no-identify] FILE",
     "flash a .bgsf (controller, the default) or .bmcf (motor board) firmware file through the\n"
     "board's boot loader (reset or power it with its boot jumper set within 10 s); a progress bar\n"
     "on a terminal, one line per 10 % otherwise. First the running firmware is asked which board\n"
     "it is, and the other board is never flashed; --no-identify skips that for a board that already\n"
     "waits in its boot loader. Exit 1 also for a firmware file that is unreadable, invalid or for\n"
     "the other board or chip, 3 when the boot loader never answers, 4 for any other failure.\n"
     "With several ports, all are upgraded at the same time, one line each as for write"},
    {"firmware",
     "firmware pack --board controller|motor --version N [--address A] [--chip ID] [--force] IN -o OUT\n"
     "  firmware info FILE",
     "pack a raw binary or Intel HEX file IN as a firmware file (N in tenths, 24 for V2.4, or as 2.4;\n"
     "A defaults to 0x08000000; ID is the chip's product id, such as 0x410, checked before anything\n"
     "is erased; a raw image must start with a stack pointer in RAM and a reset address inside it\n"
     "unless --force is given; an ELF file needs objcopy -O binary first), or print a firmware\n"
     "file's header and check both its CRCs"},
};

constexpr const char* kUsageTail =
    "\n"
    "PORT is a port name such as COM3 or a device path such as /dev/ttyUSB0.\n"
    "B is controller (the main controller, the default) or motor (the motor driver board, whose\n"
    "configuration files are .bmc files with the section MOTOR_PARAMETERS).\n"
    "COMMAND --help describes one command; --version prints the version.\n"
    "exit codes: 0 success, 1 usage or file error, 2 port cannot be opened,\n"
    "            3 no answer from the board, 4 the device reported a failure,\n"
    "            128+N ended by signal N before the command finished\n";

std::string Usage()
{
    std::string text = "usage: qav-nuva-cli COMMAND [OPTIONS]\n\ncommands:\n";
    for (const CommandHelp& c : kCommandHelp) {
        text += "  ";
        text += c.synopsis;
        text += "\n      ";
        for (const char* p = c.summary; *p; ++p)
            text += *p == '\n' ? std::string("\n      ") : std::string(1, *p);
        text += "\n";
    }
    return text + kUsageTail;
}

const CommandHelp* FindHelp(const std::string& name)
{
    for (const CommandHelp& c : kCommandHelp)
        if (name == c.name)
            return &c;
    return nullptr;
}

std::string CommandUsage(const CommandHelp& c)
{
    // The ranges come from the parameter tables, as the checks do.
    const std::string ranges = std::string_view(c.name) == "write" ? "\n" + WriteRangesHelp() : "";
    return std::string("usage: qav-nuva-cli ") + c.synopsis + "\n" + c.summary + "\n" + ranges + kUsageTail;
}

// --board: which board read, monitor and write talk to.
enum class Board { Controller, Motor };
std::optional<Board> ChosenBoard(const Options& o)
{
    const auto b = o.values.find("--board");
    if (b == o.values.end() || b->second == "controller")
        return Board::Controller;
    if (b->second == "motor")
        return Board::Motor;
    return std::nullopt;
}
constexpr const char* kBadBoard = "Option --board takes controller or motor.";

int OpenOrFail(ControllerSession& session, const std::string& port, std::ostream& err)
{
    if (const Result r = session.Open(port); !r)
        return Fail(err, kExitPort, r.message);
    return kExitOk;
}

using Outcome = ControllerSession::Outcome;

// A JSON string, or null for an empty one.
std::string JsonText(const std::string& text)
{
    if (text.empty())
        return "null";
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + '"';
}

int CmdPorts(std::ostream& out, bool json)
{
    for (const SerialPortInfo& port : ScanSerialPorts()) {
        if (!json) {
            out << port.Entry() << '\n';
            continue;
        }
        out << "{\"name\":" << JsonText(port.Name()) << ",\"device\":" << JsonText(port.device)
            << ",\"vendor_id\":" << JsonText(port.usb.vendorId)
            << ",\"product_id\":" << JsonText(port.usb.productId)
            << ",\"manufacturer\":" << JsonText(port.usb.manufacturer)
            << ",\"product\":" << JsonText(port.usb.product) << ",\"serial\":" << JsonText(port.usb.serial)
            << ",\"note\":" << JsonText(port.note) << "}\n";
    }
    return kExitOk;
}

// Reads the whole parameter set back: the four echo quarters.
struct ReadBack final : IControllerEvents
{
    unsigned quarters = 0;
    void OnEchoDecoded(std::uint8_t type) override { quarters |= 1u << (type - kTypeReadGains); }
    bool Complete() const { return quarters == 0xF; }
};

int CmdRead(const Options& o, std::ostream& out, std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    const auto port = o.values.find("--port");
    if (port == o.values.end() || !o.positional.empty())
        return Fail(err, kExitUsage, "Usage: qav-nuva-cli read [--board B] --port PORT [-o FILE]");
    const auto board = ChosenBoard(o);
    if (!board)
        return Fail(err, kExitUsage, kBadBoard);
    const auto file = o.values.find("-o");
    // Refused before anything is asked of the controller.
    if (file != o.values.end())
        if (const Result r = CheckConfigOutput(file->second); !r)
            return Fail(err, kExitUsage, r.message);
    if (*board == Board::Motor)
        return MotorRead(port->second, file != o.values.end() ? file->second : std::string(), out, err, stop);
    ControllerParams params;
    ReadBack events;
    ControllerSession session(params, events);
    if (int rc = OpenOrFail(session, port->second, err))
        return rc;
    const Outcome outcome = session.RunUntil([&] { return events.Complete(); }, kAnswerTimeout, stop);
    if (outcome == Outcome::Stopped)
        return Interrupted(err, stop, "nothing was read");
    if (outcome == Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, session.NoAnswerSentence(port->second));

    if (file != o.values.end()) {
        if (const Result r = SaveControllerConfig(file->second, params); !r)
            return Fail(err, kExitUsage, "Cannot write " + file->second + ": " + r.message + ".");
        return kExitOk;
    }
    // Rendered in memory by the configuration file's own writer, so what is
    // printed is byte for byte what a save into a new file stores.
    IniDocument doc;
    for (const IniEntry& e : ControllerConfigEntries(params))
        doc.Set(e.section, e.key, e.value);
    out << doc.Text() << std::flush;
    if (!out)
        return Fail(err, kExitUsage, "Cannot write the standard output.");
    return kExitOk;
}

// Prints one line per telemetry answer: words, JSON objects or CSV rows.
struct Monitor final : IControllerEvents
{
    enum class Format { Words, Json, Csv };
    Monitor(std::ostream& out, Format format) : out(out), format(format), csv(out) {}
    const ControllerLinkState* state = nullptr;
    std::ostream& out;
    Format format;
    CsvRecorder csv;
    long printed = 0;
    long limit = -1;   // lines to print; -1 for no end
    bool gone = false; // the reader of the output has gone (EPIPE)
    std::chrono::steady_clock::time_point first{};
    std::optional<std::uint8_t> motor;
    std::optional<std::uint8_t> firmware;

    void OnMotorState(std::uint8_t s) override { motor = s; }
    void OnFirmwareVersion(std::uint8_t v) override { firmware = v; }
    bool Done() const { return gone || (limit >= 0 && printed >= limit); }
    void OnTelemetry(const ControllerTelemetry& t) override
    {
        // One read may bring several answers; print no more than asked for.
        if (Done())
            return;
        const auto now = std::chrono::steady_clock::now();
        if (printed == 0)
            first = now;
        const ControllerLinkState& s = *state;
        const TelemetrySample sample{s.roll, s.tilt, s.pan, t, motor, firmware};
        ++printed;
        if (format == Format::Csv) {
            // Flushed as the recorder does it, and once more at the end.
            gone = !csv.Append(sample, now) || (Done() && !csv.Finish());
            return;
        }
        if (format == Format::Json) {
            out << TelemetryJson(std::chrono::duration<double>(now - first).count(), sample) << std::endl;
        } else {
            const char* motorText = !motor ? "unknown" : *motor == kMotorsOn ? "on" : "off";
            char fw[16] = "-";
            if (firmware)
                std::snprintf(fw, sizeof fw, "%.1f", *firmware * 0.1);
            char line[512];
            std::snprintf(line, sizeof line,
                          "roll %s tilt %s pan %s rc_roll %d rc_tilt %d rc_pan %d rc_mode %d rc_shot %d "
                          "ax %s ay %s az %s motor %s firmware %s",
                          FormatAttitude(s.roll).c_str(), FormatAttitude(s.tilt).c_str(),
                          FormatAttitude(s.pan).c_str(), t.rcRoll, t.rcTilt, t.rcPan, t.rcMode, t.rcShot,
                          FormatAcceleration(t.accX).c_str(), FormatAcceleration(t.accY).c_str(),
                          FormatAcceleration(t.accZ).c_str(), motorText, fw);
            out << line << std::endl;
        }
        // A failed write means the reader has gone (a closed pipe): stop
        // rather than poll the controller for no one.
        gone = !out;
    }
};

int CmdMonitor(const Options& o, std::ostream& out, std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    const auto port = o.values.find("--port");
    if (port == o.values.end() || !o.positional.empty())
        return Fail(err, kExitUsage,
                    "Usage: qav-nuva-cli monitor [--board B] --port PORT [--count N] [--json | --csv]");
    const auto board = ChosenBoard(o);
    if (!board)
        return Fail(err, kExitUsage, kBadBoard);
    const bool json = o.flags.count("--json") > 0, csv = o.flags.count("--csv") > 0;
    if (json && csv)
        return Fail(err, kExitUsage, "Choose one of --json and --csv.");
    if (csv && *board == Board::Motor)
        return Fail(err, kExitUsage, "--csv is for the controller's telemetry.");
    long count = -1;
    if (const auto c = o.values.find("--count"); c != o.values.end()) {
        const auto& text = c->second;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (ec != std::errc() || end != text.data() + text.size() || count < 1)
            return Fail(err, kExitUsage, "The count must be a whole number of 1 or more.");
    }
    if (*board == Board::Motor)
        return MotorMonitor(port->second, count, o.flags.count("--json") > 0, out, err, stop);
    ControllerParams params;
    Monitor events(out, json ? Monitor::Format::Json : csv ? Monitor::Format::Csv : Monitor::Format::Words);
    ControllerSession session(params, events);
    events.state = &session.Link().State();
    events.limit = count;
    if (int rc = OpenOrFail(session, port->second, err))
        return rc;
    // Straight to plain polls: their answers carry the telemetry.
    session.Link().State().SelectFrameType(kTypePoll);
    // A monitor ends normally when stopped, so a signal is no failure here.
    const auto outcome = session.RunUntil([&] { return events.Done(); }, kAnswerTimeout, stop);
    if (csv)
        events.csv.Finish();
    if (outcome == Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, session.NoAnswerSentence(port->second));
    return kExitOk;
}

// Waits for the result of one command and keeps what the controller said.
struct CommandWatch final : IControllerEvents
{
    std::uint8_t command = kCmdNone;
    const ControllerResult* result = nullptr;
    std::uint8_t motorState = 0;

    void OnCommandResult(const ControllerResult& r, std::uint8_t m) override
    {
        if ((r.code & ~kResultFailed) == command) {
            result = &r;
            motorState = m;
        }
    }
};

// A motor-on answered "done" while the motors stay off was refused.
bool ResultFailed(const ControllerResult& result, std::uint8_t motorState)
{
    return !result.success || ResultMessage(result, motorState) != result.message;
}

int ReportResult(const ControllerResult& result, std::uint8_t motorState, std::ostream& out,
                 std::ostream& err)
{
    const std::string words = StatusPlainText(ResultMessage(result, motorState));
    if (ResultFailed(result, motorState))
        return Fail(err, kExitDeviceFail, words);
    out << words << '\n';
    return kExitOk;
}

// The upload of a checked file, step by step. The controller's own set is
// read back first, so that what the file has no key for keeps its value.
// Answers still in flight are let in before the file is applied (a poll's
// answer comes after every answer to what was sent before it), and the set
// to upload is kept apart: if the link is lost and the controller reads
// back again, the same set is put back and uploaded again from the start.
class UploadJob final : public IControllerEvents
{
public:
    UploadJob(const CheckedConfig& file, bool flash) : file_(file), flash_(flash) {}
    // Called with the controller's own set once it is read, before anything
    // is changed; false stops the job with nothing sent.
    std::function<bool(const ControllerParams&)> backup;
    // Called with the controller's own set once it is read, before the
    // backup: a refusal sentence stops the job with nothing sent.
    std::function<std::string(const ControllerParams&)> refuse;
    const std::string& Refusal() const { return refusal_; }
    // The engine this job listens to; set before the port is opened.
    void SetLink(ControllerLink& link) { link_ = &link; }

    enum class Phase { ReadBack, Settle, Upload, Done, Stuck, NoBackup, Refused };
    Phase phase() const { return phase_; }
    const ControllerResult* FlashResult() const { return result_; }
    std::uint8_t MotorState() const { return motorState_; }
    int Uploads() const { return uploads_; }

    // A controller that answers but takes nothing. Longer than the answer
    // time-out, so that a silent one is reported as silent.
    static constexpr std::chrono::seconds kNoProgressTimeout{5};

    // Moves on when the step in progress is complete. Returns true when the
    // job is over (done, or stuck without progress).
    bool Step()
    {
        const auto now = std::chrono::steady_clock::now();
        const Phase before = phase_;
        switch (phase_) {
        case Phase::ReadBack:
            if (quarters_ == 0xF) {
                if (refuse && !(refusal_ = refuse(link_->Params())).empty()) {
                    phase_ = Phase::Refused;
                    return true;
                }
                if (backup && !backup(link_->Params())) {
                    phase_ = Phase::NoBackup;
                    return true;
                }
                ApplyControllerConfig(file_, link_->Params());
                wanted_ = link_->Params();
                BeginSettle();
            }
            break;
        case Phase::Settle:
            if (settled_)
                BeginUpload();
            break;
        case Phase::Upload:
            if (resync_)
                BeginSettle();
            else if (flash_ ? result_ != nullptr : uploaded_)
                phase_ = Phase::Done;
            break;
        case Phase::Done:
        case Phase::Stuck:
        case Phase::NoBackup:
        case Phase::Refused:
            return true;
        }
        if (phase_ != before || progress_)
            lastProgress_ = now;
        progress_ = false;
        if (phase_ != Phase::Done && now - lastProgress_ > kNoProgressTimeout)
            phase_ = Phase::Stuck;
        return phase_ == Phase::Done || phase_ == Phase::Stuck;
    }

    void OnEchoDecoded(std::uint8_t type) override
    {
        progress_ = true;
        if (phase_ == Phase::ReadBack)
            quarters_ |= 1u << (type - kTypeReadGains);
        else if (phase_ == Phase::Upload)
            resync_ = true; // the controller read back again: its set replaced ours
    }
    void OnLinkLost() override
    {
        if (phase_ == Phase::Upload)
            resync_ = true;
    }
    void OnTelemetry(const ControllerTelemetry&) override { settled_ = phase_ == Phase::Settle; }
    void OnUploadAcknowledged(std::uint8_t type) override
    {
        progress_ = true;
        if (phase_ == Phase::Upload && type == kTypePan)
            uploaded_ = true;
    }
    void OnCommandResult(const ControllerResult& r, std::uint8_t m) override
    {
        if (phase_ == Phase::Upload && uploaded_ && (r.code & ~kResultFailed) == kCmdWriteFlash) {
            result_ = &r;
            motorState_ = m;
        }
    }

private:
    void BeginSettle()
    {
        phase_ = Phase::Settle;
        settled_ = false;
        // A flash write must only follow a complete upload.
        link_->State().commandCode = kCmdNone;
        link_->State().flashWritePending = false;
        link_->State().SelectFrameType(kTypePoll);
    }
    void BeginUpload()
    {
        phase_ = Phase::Upload;
        resync_ = uploaded_ = false;
        result_ = nullptr;
        link_->Params() = wanted_;
        ControllerLinkState& state = link_->State();
        state.flashWritePending = flash_;
        state.SelectFrameType(kTypeGains);
        ++uploads_;
    }

    ControllerLink* link_ = nullptr;
    const CheckedConfig& file_;
    const bool flash_;
    Phase phase_ = Phase::ReadBack;
    ControllerParams wanted_;
    unsigned quarters_ = 0;
    bool settled_ = false, resync_ = false, uploaded_ = false, progress_ = false;
    const ControllerResult* result_ = nullptr;
    std::uint8_t motorState_ = 0;
    int uploads_ = 0;
    std::string refusal_;
    std::chrono::steady_clock::time_point lastProgress_ = std::chrono::steady_clock::now();
};

// One port's write: read back, keep a backup of what was read, upload, and
// with `flash` store. Returns the exit code; says what happened on `out` and
// `err` as a single-port write does.
int WriteToPort(const std::string& port, const std::string& file, const CheckedConfig& checked, bool flash,
                bool backup, bool allowOutOfRange, std::ostream& out, std::ostream& err,
                const volatile std::sig_atomic_t* stop)
{
    ControllerParams params;
    UploadJob job(checked, flash);
    if (!allowOutOfRange)
        job.refuse = [&](const ControllerParams& read) {
            return CrossedWithKeptValues(file, checked, ControllerConfigKeyRanges(), "controller",
                                         [&](std::string_view key) {
                                             return GetParam(*FindControllerParam(key), read);
                                         });
        };
    std::string backupWhy;
    if (backup)
        job.backup = [&](const ControllerParams& read) {
            std::string path;
            if (const Result r = BackupControllerParams(DefaultBackupFolder(), read, port, path); !r) {
                backupWhy = r.message;
                return false;
            }
            err << kProgram << ": The controller's set on " << port << " was saved to " << ShortenHome(path)
                << ".\n";
            return true;
        };
    ControllerSession session(params, job);
    job.SetLink(session.Link());
    if (int rc = OpenOrFail(session, port, err))
        return rc;
    const Outcome outcome = session.RunUntil([&] { return job.Step(); }, kAnswerTimeout, stop);
    if (outcome == Outcome::Stopped)
        return Interrupted(
            err, stop, job.Uploads() == 0 ? "no parameters were sent" : "the upload may not have finished");
    if (outcome == Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, session.NoAnswerSentence(port));
    if (job.phase() == UploadJob::Phase::NoBackup)
        return Fail(err, kExitUsage, backupWhy + " Nothing was sent (--no-backup skips the backup).");
    if (job.phase() == UploadJob::Phase::Refused)
        return Fail(err, kExitUsage, job.Refusal());
    if (job.phase() == UploadJob::Phase::Stuck)
        return Fail(err, kExitNoAnswer,
                    "The controller on " + port + " answered but did not take the parameters.");
    if (const ControllerResult* result = job.FlashResult())
        return ReportResult(*result, job.MotorState(), out, err);
    out << "Parameters uploaded.\n";
    return kExitOk;
}

// What a port's command said, on one line: its notes and failures, then
// the last line of its results (progress lines before it are left out),
// without the program's prefix.
std::string OneLine(const std::string& outText, const std::string& errText)
{
    std::vector<std::string> said;
    const std::string prefix = std::string(kProgram) + ": ";
    std::istringstream errLines(errText);
    for (std::string l; std::getline(errLines, l);)
        if (!l.empty())
            said.push_back(l.rfind(prefix, 0) == 0 ? l.substr(prefix.size()) : l);
    std::string last;
    std::istringstream outLines(outText);
    for (std::string l; std::getline(outLines, l);)
        if (!l.empty())
            last = l;
    if (!last.empty())
        said.push_back(last);
    std::string line;
    for (const std::string& s : said)
        line += (line.empty() ? "" : " ") + s;
    return line;
}

// One port's whole command; says what happened on `out` and `err`.
using PortJob = std::function<int(const std::string& port, std::ostream& out, std::ostream& err)>;

// Many ports at once, one thread and one session each; a port's failure
// does not touch the others. One line per port as it ends: port, outcome,
// seconds, what it said. The exit code is the worst (highest) of them.
int RunOnPorts(const std::vector<std::string>& ports, const PortJob& job, std::ostream& out)
{
    std::mutex lock;
    int worst = kExitOk;
    std::vector<std::thread> workers;
    for (const std::string& port : ports)
        workers.emplace_back([&, port] {
            const auto start = std::chrono::steady_clock::now();
            std::ostringstream portOut, portErr;
            const int code = job(port, portOut, portErr);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const char* outcome = code == kExitOk ? "ok" : code > 128 ? "interrupted" : "failed";
            char timing[32];
            std::snprintf(timing, sizeof timing, "%.2f s", seconds);
            const std::lock_guard<std::mutex> hold(lock);
            out << port << '\t' << outcome << '\t' << timing << '\t' << OneLine(portOut.str(), portErr.str())
                << std::endl;
            worst = std::max(worst, code);
        });
    for (std::thread& w : workers)
        w.join();
    return worst;
}

int CmdWrite(const Options& o, std::ostream& out, std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    const auto port = o.all.find("--port");
    if (port == o.all.end() || o.positional.size() != 1)
        return Fail(err, kExitUsage,
                    "Usage: qav-nuva-cli write [--board B] --port PORT [--port PORT ...] FILE [--flash] "
                    "[--no-backup] [--allow-out-of-range]");
    const auto board = ChosenBoard(o);
    if (!board)
        return Fail(err, kExitUsage, kBadBoard);
    const std::vector<std::string>& ports = port->second;
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (std::find(ports.begin(), ports.begin() + static_cast<std::ptrdiff_t>(i), ports[i]) !=
            ports.begin() + static_cast<std::ptrdiff_t>(i))
            return Fail(err, kExitUsage, "The port " + ports[i] + " is given twice.");
    const std::string& file = o.positional[0];
    const bool flash = o.flags.count("--flash") > 0;
    const bool backup = o.flags.count("--no-backup") == 0;
    const bool allowOutOfRange = o.flags.count("--allow-out-of-range") > 0;
    if (*board == Board::Motor) {
        const PortJob job = [&](const std::string& p, std::ostream& portOut, std::ostream& portErr) {
            return MotorWrite(p, file, flash, backup, allowOutOfRange, portOut, portErr, stop);
        };
        return ports.size() == 1 ? job(ports.front(), out, err) : RunOnPorts(ports, job, out);
    }
    // The whole file is checked before the port is opened: a file that
    // cannot be sent as it is sends nothing.
    CheckedConfig checked;
    const std::vector<ConfigKeyRange> keys = ControllerConfigKeyRanges();
    if (const Result r =
            ReadCheckedConfig(file, kControllerConfigSection, keys, checked, ControllerConfigWriteOnlyKeys());
        !r)
        return Fail(err, kExitUsage, r.message);
    if (const int rc = CheckBeforeSending(file, checked, keys, "controller", allowOutOfRange, err))
        return rc;
    if (!checked.missing.empty())
        err << kProgram << ": " << file << " has no " << JoinKeys(checked.missing)
            << (checked.missing.size() == 1 ? "; the controller's value is kept.\n"
                                            : "; the controller's values are kept.\n");
    const PortJob job = [&](const std::string& p, std::ostream& portOut, std::ostream& portErr) {
        return WriteToPort(p, file, checked, flash, backup, allowOutOfRange, portOut, portErr, stop);
    };
    return ports.size() == 1 ? job(ports.front(), out, err) : RunOnPorts(ports, job, out);
}

int CmdCommand(const std::string& name, std::uint8_t code, const Options& o, std::ostream& out,
               std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    const auto port = o.values.find("--port");
    if (port == o.values.end() || !o.positional.empty())
        return Fail(err, kExitUsage, "Usage: qav-nuva-cli " + name + " --port PORT");
    ControllerParams params;
    CommandWatch watch;
    watch.command = code;
    ControllerSession session(params, watch);
    if (int rc = OpenOrFail(session, port->second, err))
        return rc;
    ControllerLinkState& state = session.Link().State();
    state.commandCode = code;
    state.SelectFrameType(kTypePoll);
    const Outcome outcome = session.RunUntil([&] { return watch.result != nullptr; }, kAnswerTimeout, stop);
    if (outcome == Outcome::Stopped)
        return Interrupted(err, stop, "the command may have been sent");
    if (outcome == Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, session.NoAnswerSentence(port->second));
    return ReportResult(*watch.result, watch.motorState, out, err);
}

bool AsksForHelp(const std::vector<std::string>& args)
{
    return std::any_of(args.begin() + 1, args.end(),
                       [](const std::string& a) { return a == "--help" || a == "-h"; });
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const volatile std::sig_atomic_t* stop)
{
    if (args.empty())
        return Fail(err, kExitUsage, "No command given; try qav-nuva-cli --help.");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        if (command == "help" && args.size() > 1)
            if (const CommandHelp* help = FindHelp(args[1])) {
                out << CommandUsage(*help);
                return kExitOk;
            }
        out << Usage();
        return kExitOk;
    }
    if (command == "--version") {
        out << kProgram << ' ' << QAV_VERSION << '\n';
        return kExitOk;
    }
    if (const CommandHelp* help = FindHelp(command); help && AsksForHelp(args)) {
        out << CommandUsage(*help);
        return kExitOk;
    }
    std::string error;
    if (command == "ports") {
        const bool json = args.size() == 2 && args[1] == "--json";
        if (args.size() > 1 && !json)
            return Fail(err, kExitUsage, "The ports command takes no options but --json.");
        return CmdPorts(out, json);
    }
    if (command == "read") {
        const auto o = ParseOptions(args, 1, {"--port", "-o", "--board"}, {}, error);
        return o ? CmdRead(*o, out, err, stop) : Fail(err, kExitUsage, error);
    }
    if (command == "monitor") {
        const auto o = ParseOptions(args, 1, {"--port", "--count", "--board"}, {"--json", "--csv"}, error);
        return o ? CmdMonitor(*o, out, err, stop) : Fail(err, kExitUsage, error);
    }
    if (command == "write") {
        const auto o = ParseOptions(args, 1, {"--port", "--board"}, {"--flash", "--no-backup", "--allow-out-of-range"},
                                    error);
        return o ? CmdWrite(*o, out, err, stop) : Fail(err, kExitUsage, error);
    }
    if (command == "diff") {
        const auto o = ParseOptions(args, 1, {"--port", "--board"}, {"--exit-code"}, error);
        if (!o)
            return Fail(err, kExitUsage, error);
        const auto board = ChosenBoard(*o);
        if (!board)
            return Fail(err, kExitUsage, kBadBoard);
        const bool motor = *board == Board::Motor, exitCode = o->flags.count("--exit-code") > 0;
        if (const auto port = o->values.find("--port"); port != o->values.end()) {
            if (o->positional.size() != 1)
                return Fail(err, kExitUsage,
                            "Usage: qav-nuva-cli diff [--board B] --port PORT FILE [--exit-code]");
            return DiffDevice(port->second, o->positional[0], motor, exitCode, out, err, stop);
        }
        if (o->positional.size() != 2)
            return Fail(err, kExitUsage, "Usage: qav-nuva-cli diff [--board B] FILE_A FILE_B [--exit-code]");
        return DiffFiles(o->positional[0], o->positional[1], motor, exitCode, out, err);
    }
    static const std::map<std::string, std::uint8_t> kCommands{
        {"motor-on", kCmdMotorOn}, {"motor-off", kCmdMotorOff}, {"calibrate", kCmdCalibrate}};
    if (const auto c = kCommands.find(command); c != kCommands.end()) {
        const auto o = ParseOptions(args, 1, {"--port"}, {}, error);
        return o ? CmdCommand(command, c->second, *o, out, err, stop) : Fail(err, kExitUsage, error);
    }
    if (command == "upgrade" && !AsksForHelp(args)) {
        const auto o = ParseOptions(args, 1, kUpgradeValueOptions, kUpgradeFlags, error);
        if (!o)
            return Fail(err, kExitUsage, error);
        // Several --port options: every board at once, one line each.
        if (const auto ports = o->all.find("--port"); ports != o->all.end() && ports->second.size() > 1) {
            for (const std::string& p : ports->second)
                if (std::count(ports->second.begin(), ports->second.end(), p) > 1)
                    return Fail(err, kExitUsage, "The port " + p + " is given twice.");
            const PortJob job = [&](const std::string& p, std::ostream& portOut, std::ostream& portErr) {
                return RunUpgrade(p, *o, portOut, portErr, stop, false);
            };
            return RunOnPorts(ports->second, job, out);
        }
    }
    if (IsFirmwareCommand(command))
        return RunFirmwareCommand(args, out, err, stop, &out == &std::cout && ::isatty(STDOUT_FILENO));
    return Fail(err, kExitUsage, "Unknown command " + command + "; try qav-nuva-cli --help.");
}

} // namespace qav::cli
