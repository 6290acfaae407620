// monitor: one line per answer of the board, as words, JSON or CSV, until a
// count is reached, the reader of the output has gone, or a stop signal.
#include "BoardSession.h"
#include "Cli.h"
#include "CommandHandlers.h"
#include "files/CsvRecorder.h"
#include "protocol/StatusMarkup.h"
#include "protocol/TelemetrySample.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <ostream>

namespace qav::cli {
namespace {

// Prints one line per telemetry answer: words, JSON objects or CSV rows.
struct ControllerPrinter final : IControllerEvents
{
    enum class Format { Words, Json, Csv };
    ControllerPrinter(std::ostream& out, Format format, long limit)
        : out(out), format(format), csv(out), limit(limit)
    {
    }
    std::ostream& out;
    Format format;
    CsvRecorder csv;
    long limit; // lines to print; -1 for no end
    long printed = 0;
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
        const TelemetrySample sample{t, motor, firmware};
        ++printed;
        if (format == Format::Csv) {
            // Flushed as the recorder does it, and once more at the end.
            gone = !csv.Append(sample, now) || (Done() && !csv.Finish());
            return;
        }
        if (format == Format::Json)
            out << TelemetryJson(std::chrono::duration<double>(now - first).count(), sample) << std::endl;
        else
            out << TelemetryText(sample) << std::endl;
        // A failed write means the reader has gone (a closed pipe): stop
        // rather than poll the controller for no one.
        gone = !out;
    }
};

// Prints one line per monitor report of the motor board.
struct MotorPrinter final : IMotorEvents
{
    MotorPrinter(std::ostream& out, bool json, long limit) : out(out), json(json), limit(limit) {}
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
        char v[32], a[32];
        std::snprintf(v, sizeof v, "%.3f", volts);
        std::snprintf(a, sizeof a, "%.3f", amps);
        if (json)
            out << "{\"voltage\":" << v << ",\"current\":" << a
                << ",\"firmware\":" << (firmware ? fw : "null") << "}" << std::endl;
        else
            out << Say(Message::MotorMonitorLine, {v, a, firmware ? fw : Say(Message::NoFirmwareYet)})
                << std::endl;
        gone = !out;
        ++printed;
    }
};

// A monitor ends normally when stopped, so a signal is no failure here.
int Monitored(LinkSession& session, const std::string& port, const std::function<bool()>& done,
              const CommandCall& call)
{
    auto outcome = session.RunUntil(done, kAnswerTimeout, call.stop);
    if (outcome == LinkSession::Outcome::Stopped)
        outcome = LinkSession::Outcome::Done;
    return Ended(outcome, session, port, call.err, call.stop, {});
}

int Monitor(ControllerBoard, const CommandCall& call, const std::string& port, long count, bool json,
            bool csv)
{
    using Format = ControllerPrinter::Format;
    ControllerParams params;
    ControllerPrinter printer(call.out, json ? Format::Json : csv ? Format::Csv : Format::Words, count);
    ControllerSession session(params, printer);
    if (const int rc = OpenOrFail(session, port, call.err))
        return rc;
    // Straight to plain polls: their answers carry the telemetry.
    session.Link().State().SelectFrameType(kTypePoll);
    const int rc = Monitored(
        session, port, [&] { return printer.Done(); }, call);
    if (csv)
        printer.csv.Finish();
    return rc;
}

int Monitor(MotorBoard, const CommandCall& call, const std::string& port, long count, bool json, bool)
{
    MotorParams params;
    MotorPrinter printer(call.out, json, count);
    MotorSession session(params, printer);
    if (const int rc = OpenOrFail(session, port, call.err))
        return rc;
    // Straight to monitoring: looking needs no parameter report.
    session.Link().RequestCommand(kMotorCmdMonitor);
    return Monitored(
        session, port, [&] { return printer.Done(); }, call);
}

} // namespace

int RunMonitor(const CommandCall& call)
{
    const auto board = ChosenBoard(call.options);
    if (!board)
        return Fail(call.err, kExitUsage, BadBoard());
    const bool json = call.options.Flag("--json"), csv = call.options.Flag("--csv");
    if (json && csv)
        return Fail(call.err, kExitUsage, Say(Message::JsonOrCsv));
    if (csv && *board != BoardId::Controller)
        return Fail(call.err, kExitUsage,
                    Say(Message::CsvForController, {BoardOf(BoardId::Controller).device}));
    long count = -1;
    if (const std::string* text = call.options.Value("--count")) {
        const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), count);
        if (ec != std::errc() || end != text->data() + text->size() || count < 1)
            return Fail(call.err, kExitUsage, Say(Message::BadCount));
    }
    const std::string& port = *call.options.Value("--port");
    return WithBoard(*board, [&](auto kind) { return Monitor(kind, call, port, count, json, csv); });
}

} // namespace qav::cli
