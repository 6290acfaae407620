#include "Cli.h"

#include "ControllerSession.h"
#include "files/ControllerConfigFile.h"
#include "protocol/ControllerResults.h"
#include "protocol/StatusMarkup.h"
#include "serial/PortList.h"
#include "serial/SerialLink.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <unistd.h>

namespace qav::cli {
namespace {

constexpr const char* kUsage =
    "usage: qav-nuva-cli COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  ports [--json]                         list the serial ports, one a line\n"
    "  read --port PORT [-o FILE]             read the controller's parameters as a configuration file\n"
    "  monitor --port PORT [--count N] [--json]\n"
    "                                         print live telemetry, one line per answer\n"
    "  write --port PORT FILE [--flash]       send a configuration file's parameters, then\n"
    "                                         with --flash store them in the controller's flash\n"
    "  motor-on --port PORT                   switch the motors on\n"
    "  motor-off --port PORT                  switch the motors off\n"
    "  calibrate --port PORT                  calibrate the sensors\n"
    "\n"
    "PORT is a port name such as COM3 or a device path such as /dev/ttyUSB0.\n"
    "exit codes: 0 success, 1 usage or file error, 2 port cannot be opened,\n"
    "            3 no answer from the controller, 4 the device reported a failure\n";

// Options of the form --name VALUE or -n VALUE, and bare flags.
struct Options
{
    std::map<std::string, std::string> values;
    std::map<std::string, bool> flags;
    std::vector<std::string> positional;
};

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::size_t from,
                                    const std::vector<std::string>& withValue,
                                    const std::vector<std::string>& flagNames, std::string& error)
{
    Options o;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (std::find(withValue.begin(), withValue.end(), a) != withValue.end()) {
            if (i + 1 >= args.size()) {
                error = "Option " + a + " needs a value.";
                return std::nullopt;
            }
            o.values[a] = args[++i];
        } else if (std::find(flagNames.begin(), flagNames.end(), a) != flagNames.end()) {
            o.flags[a] = true;
        } else if (!a.empty() && a[0] == '-') {
            error = "Unknown option " + a + ".";
            return std::nullopt;
        } else {
            o.positional.push_back(a);
        }
    }
    return o;
}

int Fail(std::ostream& err, int code, const std::string& sentence)
{
    err << sentence << '\n';
    return code;
}

int OpenOrFail(ControllerSession& session, const std::string& port, std::ostream& err)
{
    std::string why;
    if (!session.Open(port, why))
        return Fail(err, kExitPort, why);
    return kExitOk;
}

std::string NoAnswer(const std::string& port)
{
    return "No answer from the controller on " + port + " within 3 seconds.";
}

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

int CmdRead(const Options& o, std::ostream& out, std::ostream& err)
{
    const auto port = o.values.find("--port");
    if (port == o.values.end() || !o.positional.empty())
        return Fail(err, kExitUsage, "Usage: qav-nuva-cli read --port PORT [-o FILE]");
    ControllerParams params;
    ReadBack events;
    ControllerSession session(params, events);
    if (int rc = OpenOrFail(session, port->second, err))
        return rc;
    if (session.RunUntil([&] { return events.Complete(); }, kAnswerTimeout) !=
        ControllerSession::Outcome::Done)
        return Fail(err, kExitNoAnswer, NoAnswer(port->second));

    const auto file = o.values.find("-o");
    if (file != o.values.end()) {
        if (!SaveControllerConfig(file->second, params))
            return Fail(err, kExitUsage, "Cannot write " + file->second + ".");
        return kExitOk;
    }
    // The configuration file's own writer makes the text, so what is printed
    // is byte for byte what a save would store.
    char tmpl[] = "/tmp/qav-nuva-read-XXXXXX";
    const int fd = mkstemp(tmpl);
    if (fd < 0)
        return Fail(err, kExitUsage, "Cannot create a temporary file.");
    ::close(fd);
    ::unlink(tmpl);
    const bool saved = static_cast<bool>(SaveControllerConfig(tmpl, params));
    std::ifstream in(tmpl, std::ios::binary);
    out << std::string(std::istreambuf_iterator<char>(in), {});
    ::unlink(tmpl);
    return saved ? kExitOk : Fail(err, kExitUsage, "Cannot write a temporary file.");
}

// Prints one line per telemetry answer.
struct Monitor final : IControllerEvents
{
    Monitor(std::ostream& out, bool json) : out(out), json(json) {}
    const ControllerLinkState* state = nullptr;
    std::ostream& out;
    bool json;
    long printed = 0;
    long limit = -1; // lines to print; -1 for no end
    std::optional<std::uint8_t> motor;
    std::optional<std::uint8_t> firmware;

    void OnMotorState(std::uint8_t s) override { motor = s; }
    void OnFirmwareVersion(std::uint8_t v) override { firmware = v; }
    bool Done() const { return limit >= 0 && printed >= limit; }
    void OnTelemetry(const ControllerTelemetry& t) override
    {
        // One read may bring several answers; print no more than asked for.
        if (Done())
            return;
        const ControllerLinkState& s = *state;
        const char* motorText = !motor ? "unknown" : *motor == kMotorsOn ? "on" : "off";
        char line[512];
        if (json) {
            char fw[16] = "null";
            if (firmware)
                std::snprintf(fw, sizeof fw, "%.1f", *firmware * 0.1);
            std::snprintf(
                line, sizeof line,
                "{\"roll\":%.1f,\"tilt\":%.1f,\"pan\":%.1f,\"rc_roll\":%d,\"rc_tilt\":%d,\"rc_pan\":%d,"
                "\"rc_mode\":%d,\"rc_shot\":%d,\"ax\":%.2f,\"ay\":%.2f,\"az\":%.2f,\"motor\":\"%s\","
                "\"firmware\":%s}",
                static_cast<double>(s.roll), static_cast<double>(s.tilt), static_cast<double>(s.pan),
                t.rcRoll, t.rcTilt, t.rcPan, t.rcMode, t.rcShot, t.accX * 0.01, t.accY * 0.01, t.accZ * 0.01,
                motorText, fw);
        } else {
            char fw[16] = "-";
            if (firmware)
                std::snprintf(fw, sizeof fw, "%.1f", *firmware * 0.1);
            std::snprintf(line, sizeof line,
                          "roll %s tilt %s pan %s rc_roll %d rc_tilt %d rc_pan %d rc_mode %d rc_shot %d "
                          "ax %s ay %s az %s motor %s firmware %s",
                          FormatAttitude(s.roll).c_str(), FormatAttitude(s.tilt).c_str(),
                          FormatAttitude(s.pan).c_str(), t.rcRoll, t.rcTilt, t.rcPan, t.rcMode, t.rcShot,
                          FormatAcceleration(t.accX).c_str(), FormatAcceleration(t.accY).c_str(),
                          FormatAcceleration(t.accZ).c_str(), motorText, fw);
        }
        out << line << std::endl;
        ++printed;
    }
};

int CmdMonitor(const Options& o, std::ostream& out, std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    const auto port = o.values.find("--port");
    if (port == o.values.end() || !o.positional.empty())
        return Fail(err, kExitUsage, "Usage: qav-nuva-cli monitor --port PORT [--count N] [--json]");
    long count = -1;
    if (const auto c = o.values.find("--count"); c != o.values.end()) {
        const auto& text = c->second;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (ec != std::errc() || end != text.data() + text.size() || count < 1)
            return Fail(err, kExitUsage, "The count must be a whole number of 1 or more.");
    }
    ControllerParams params;
    Monitor events(out, o.flags.count("--json") > 0);
    ControllerSession session(params, events);
    events.state = &session.Link().State();
    events.limit = count;
    if (int rc = OpenOrFail(session, port->second, err))
        return rc;
    // Straight to plain polls: their answers carry the telemetry.
    session.Link().State().SelectFrameType(kTypePoll);
    const auto outcome = session.RunUntil([&] { return events.Done(); }, kAnswerTimeout, stop);
    if (outcome == ControllerSession::Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, NoAnswer(port->second));
    return kExitOk;
}

// Waits for the result of one command and keeps what the controller said.
struct CommandWatch final : IControllerEvents
{
    std::uint8_t command = kCmdNone;
    const ControllerResult* result = nullptr;
    std::uint8_t motorState = 0;
    unsigned quarters = 0;
    bool uploaded = false;

    void OnEchoDecoded(std::uint8_t type) override { quarters |= 1u << (type - kTypeReadGains); }
    void OnUploadAcknowledged(std::uint8_t type) override { uploaded = uploaded || type == kTypePan; }
    void OnCommandResult(const ControllerResult& r, std::uint8_t m) override
    {
        if ((r.code & ~kResultFailed) == command) {
            result = &r;
            motorState = m;
        }
    }
    // A motor-on answered "done" while the motors stay off was refused.
    bool Failed() const { return !result->success || ResultMessage(*result, motorState) != result->message; }
};

int ReportResult(const CommandWatch& watch, std::ostream& out, std::ostream& err)
{
    const std::string words = StatusPlainText(ResultMessage(*watch.result, watch.motorState));
    if (watch.Failed())
        return Fail(err, kExitDeviceFail, words);
    out << words << '\n';
    return kExitOk;
}

int CmdWrite(const Options& o, std::ostream& out, std::ostream& err)
{
    const auto port = o.values.find("--port");
    if (port == o.values.end() || o.positional.size() != 1)
        return Fail(err, kExitUsage, "Usage: qav-nuva-cli write --port PORT FILE [--flash]");
    const std::string& file = o.positional[0];
    if (::access(file.c_str(), R_OK) != 0)
        return Fail(err, kExitUsage, "Cannot read " + file + ".");

    ControllerParams params;
    CommandWatch watch;
    ControllerSession session(params, watch);
    if (int rc = OpenOrFail(session, port->second, err))
        return rc;
    // The controller's own values first, so that what the file has no key
    // for (the pan gains, pan RC sensitivity and pan direction) stays.
    if (session.RunUntil([&] { return watch.quarters == 0xF; }, kAnswerTimeout) !=
        ControllerSession::Outcome::Done)
        return Fail(err, kExitNoAnswer, NoAnswer(port->second));
    if (!LoadControllerConfig(file, params))
        return Fail(err, kExitUsage, "Cannot read " + file + ".");

    ControllerLinkState& state = session.Link().State();
    const bool flash = o.flags.count("--flash") > 0;
    state.flashWritePending = flash;
    watch.command = kCmdWriteFlash;
    state.SelectFrameType(kTypeGains);
    const auto finished = [&] { return flash ? watch.result != nullptr : watch.uploaded; };
    if (session.RunUntil(finished, kAnswerTimeout) != ControllerSession::Outcome::Done)
        return Fail(err, kExitNoAnswer, NoAnswer(port->second));
    if (!flash) {
        out << "Parameters uploaded.\n";
        return kExitOk;
    }
    return ReportResult(watch, out, err);
}

int CmdCommand(const std::string& name, std::uint8_t code, const Options& o, std::ostream& out,
               std::ostream& err)
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
    if (session.RunUntil([&] { return watch.result != nullptr; }, kAnswerTimeout) !=
        ControllerSession::Outcome::Done)
        return Fail(err, kExitNoAnswer, NoAnswer(port->second));
    return ReportResult(watch, out, err);
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const volatile std::sig_atomic_t* stop)
{
    if (args.empty())
        return Fail(err, kExitUsage, "No command given; try qav-nuva-cli --help.");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
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
        const auto o = ParseOptions(args, 1, {"--port", "-o"}, {}, error);
        return o ? CmdRead(*o, out, err) : Fail(err, kExitUsage, error);
    }
    if (command == "monitor") {
        const auto o = ParseOptions(args, 1, {"--port", "--count"}, {"--json"}, error);
        return o ? CmdMonitor(*o, out, err, stop) : Fail(err, kExitUsage, error);
    }
    if (command == "write") {
        const auto o = ParseOptions(args, 1, {"--port"}, {"--flash"}, error);
        return o ? CmdWrite(*o, out, err) : Fail(err, kExitUsage, error);
    }
    static const std::map<std::string, std::uint8_t> kCommands{
        {"motor-on", kCmdMotorOn}, {"motor-off", kCmdMotorOff}, {"calibrate", kCmdCalibrate}};
    if (const auto c = kCommands.find(command); c != kCommands.end()) {
        const auto o = ParseOptions(args, 1, {"--port"}, {}, error);
        return o ? CmdCommand(command, c->second, *o, out, err) : Fail(err, kExitUsage, error);
    }
    return Fail(err, kExitUsage, "Unknown command " + command + "; try qav-nuva-cli --help.");
}

} // namespace qav::cli
