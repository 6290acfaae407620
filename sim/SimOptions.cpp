#include "SimOptions.h"

#include "platform/PortMap.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <optional>

namespace qav::sim {
namespace {

std::optional<long long> ParseInteger(const std::string& text, long long lo, long long hi)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 12)
        return std::nullopt;
    const long long v = std::stoll(text);
    if (v < lo || v > hi)
        return std::nullopt;
    return v;
}

std::optional<double> ParseFraction(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !(v >= 0.0 && v <= 1.0))
        return std::nullopt;
    return v;
}

// "AFTER:FOR" in milliseconds.
bool ParseWindow(const std::string& text, milliseconds& after, milliseconds& length)
{
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    const auto a = ParseInteger(text.substr(0, colon), 0, 24LL * 3600 * 1000);
    const auto b = ParseInteger(text.substr(colon + 1), 0, 24LL * 3600 * 1000);
    if (!a || !b)
        return false;
    after = milliseconds(*a);
    length = milliseconds(*b);
    return true;
}

} // namespace

std::string SimUsage()
{
    return "usage: qav-nuva-sim [--controller COM<n>] [--motor COM<m>] [options]\n"
           "Simulates the gimbal's main controller and motor board on pseudo-terminals,\n"
           "registered as COM<n> in $QAV_NUVA_PORTS_DIR (else ~/.config/qav-nuva/ports).\n"
           "  --controller COM<n>    main controller on COM<n>\n"
           "  --motor COM<m>         motor board on COM<m>\n"
           "  --flash FILE           controller flash: loaded at start, saved by writes to flash\n"
           "  --motor-flash FILE     motor board flash, likewise (a .bmc file)\n"
           "  --firmware N           controller firmware version byte (default 23, V2.3)\n"
           "  --motor-firmware N     motor board firmware version byte (default 15, V1.5)\n"
           "  --calibration-ms N     time a sensor calibration takes (default 300)\n"
           "  --drop F               drop a fraction F (0 to 1) of the answers\n"
           "  --corrupt F            send a fraction F of the answers with a bad CRC\n"
           "  --garbage F            put stray bytes before a fraction F of the answers\n"
           "  --silence AFTER:FOR    fall silent AFTER ms after start, for FOR ms\n"
           "  --unplug AFTER:FOR     unplug AFTER ms after start, come back FOR ms later\n"
           "  --refuse-flash N       refuse the next N writes to flash\n"
           "  --pace                 send at the pace of a 115200 baud line (boot loader: 8E1, both ways)\n"
           "  --boot-refuse-write N[:COUNT]\n"
           "                         the boot loader refuses its N-th write (and COUNT-1 more)\n"
           "  --boot-corrupt-read N  the N-th read of flash comes back with one byte changed\n"
           "  --boot-silent-after N  the boot loader falls silent after N bytes, once\n"
           "  --boot-deaf            the boards never enter their boot loader\n"
           "  --answer-delay MS      send each answer MS ms after its request was heard\n"
           "  --frame-log FILE       write one line per frame heard: time in ns, device, frame in hex\n"
           "  --seed N               seed of the random numbers (default 1)\n"
           "  --version              print the version and exit\n"
           "Runs until SIGINT or SIGTERM, then removes its aliases.\n";
}

bool ParseSimOptions(const std::vector<std::string>& args, SimCommandLine& out, std::string& error)
{
    SimulatorConfig& c = out.config;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto takesNoValue = [&]() {
            if (inlineValue) {
                error = name + " takes no value";
                return false;
            }
            return true;
        };
        auto value = [&](std::string& v) {
            if (inlineValue) {
                v = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        auto bad = [&](const std::string& v, const char* what) {
            error = name + ": '" + v + "' is not " + what;
            return false;
        };
        std::string v;
        if (name == "-h" || name == "--help") {
            if (!takesNoValue())
                return false;
            out.help = true;
        } else if (name == "--version") {
            if (!takesNoValue())
                return false;
            out.version = true;
        } else if (name == "--pace") {
            if (!takesNoValue())
                return false;
            c.paceOutput = true;
        } else if (name == "--boot-deaf") {
            if (!takesNoValue())
                return false;
            c.bootFaults.deaf = true;
        } else if (name == "--boot-refuse-write") {
            if (!value(v))
                return false;
            const auto colon = v.find(':');
            const auto n = ParseInteger(v.substr(0, colon), 1, std::numeric_limits<int>::max());
            const auto count = colon == std::string::npos
                                   ? std::optional<long long>(1)
                                   : ParseInteger(v.substr(colon + 1), 1, std::numeric_limits<int>::max());
            if (!n || !count)
                return bad(v, "N or N:COUNT, counting from 1");
            c.bootFaults.refuseWrite = static_cast<int>(*n);
            c.bootFaults.refuseWriteCount = static_cast<int>(*count);
        } else if (name == "--boot-corrupt-read") {
            if (!value(v))
                return false;
            const auto n = ParseInteger(v, 1, std::numeric_limits<int>::max());
            if (!n)
                return bad(v, "a count from 1");
            c.bootFaults.corruptRead = static_cast<int>(*n);
        } else if (name == "--boot-silent-after") {
            if (!value(v))
                return false;
            const auto n = ParseInteger(v, 0, std::numeric_limits<int>::max());
            if (!n)
                return bad(v, "a count of bytes");
            c.bootFaults.silentAfter = static_cast<long>(*n);
        } else if (name == "--controller" || name == "--motor") {
            if (!value(v))
                return false;
            const int com = PortNumberFromName(v);
            if (com == 0)
                return bad(v, "a port name COM1 to COM1024");
            (name == "--controller" ? c.controllerCom : c.motorCom) = com;
        } else if (name == "--frame-log") {
            if (!value(v))
                return false;
            c.frameLog = v;
        } else if (name == "--flash" || name == "--motor-flash") {
            if (!value(v))
                return false;
            if (v.empty())
                return bad(v, "a file name");
            (name == "--flash" ? c.flashPath : c.motorFlashPath) = v;
        } else if (name == "--firmware" || name == "--motor-firmware") {
            if (!value(v))
                return false;
            const auto n = ParseInteger(v, 0, 255);
            if (!n)
                return bad(v, "a number from 0 to 255");
            (name == "--firmware" ? c.controllerFirmware : c.motorFirmware) = static_cast<std::uint8_t>(*n);
        } else if (name == "--calibration-ms") {
            if (!value(v))
                return false;
            const auto n = ParseInteger(v, 0, 600000);
            if (!n)
                return bad(v, "a number of milliseconds up to 600000");
            c.calibrationTime = milliseconds(*n);
        } else if (name == "--drop" || name == "--corrupt" || name == "--garbage") {
            if (!value(v))
                return false;
            const auto f = ParseFraction(v);
            if (!f)
                return bad(v, "a fraction from 0 to 1");
            (name == "--drop"      ? c.faults.drop
             : name == "--corrupt" ? c.faults.corrupt
                                   : c.faults.garbage) = *f;
        } else if (name == "--silence" || name == "--unplug") {
            if (!value(v))
                return false;
            const bool ok = name == "--silence" ? ParseWindow(v, c.faults.silenceAfter, c.faults.silenceFor)
                                                : ParseWindow(v, c.faults.unplugAfter, c.faults.unplugFor);
            if (!ok)
                return bad(v, "AFTER:FOR in milliseconds");
        } else if (name == "--answer-delay") {
            if (!value(v))
                return false;
            const auto n = ParseInteger(v, 0, 10000);
            if (!n)
                return bad(v, "a number of milliseconds up to 10000");
            c.faults.answerDelay = milliseconds(*n);
        } else if (name == "--refuse-flash") {
            if (!value(v))
                return false;
            const auto n = ParseInteger(v, 0, std::numeric_limits<int>::max());
            if (!n)
                return bad(v, "a count");
            c.faults.refuseFlashWrites = static_cast<int>(*n);
        } else if (name == "--seed") {
            if (!value(v))
                return false;
            const auto n = ParseInteger(v, 0, std::numeric_limits<std::uint32_t>::max());
            if (!n)
                return bad(v, "a number from 0 to 4294967295");
            c.seed = static_cast<std::uint32_t>(*n);
        } else {
            error = "unknown option " + args[i] + " (try --help)";
            return false;
        }
    }
    if (!out.help && !out.version && c.controllerCom == 0 && c.motorCom == 0) {
        error = "give --controller COM<n>, --motor COM<m> or both (try --help)";
        return false;
    }
    return true;
}

int RunSimulator(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const std::function<void()>& waitForStop)
{
    SimCommandLine cmd;
    std::string error;
    if (!ParseSimOptions(args, cmd, error)) {
        err << "qav-nuva-sim: " << error << std::endl;
        return 1;
    }
    if (cmd.help) {
        out << SimUsage() << std::flush;
        return 0;
    }
    if (cmd.version) {
        out << "qav-nuva-sim " << QAV_VERSION << std::endl;
        return 0;
    }
    Simulator simulator(cmd.config);
    std::mutex printing;
    simulator.SetReadyCallback([&](const std::string& kind, int com, const std::string& path) {
        std::lock_guard<std::mutex> lock(printing);
        out << kind << " COM" << com << " " << path << std::endl;
    });
    if (!simulator.Start(&error)) {
        err << "qav-nuva-sim: " << error << std::endl;
        return 1;
    }
    waitForStop();
    simulator.Stop();
    return 0;
}

} // namespace qav::sim
