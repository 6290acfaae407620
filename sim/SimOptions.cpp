#include "SimOptions.h"

#include "platform/CommandLine.h"
#include "platform/PortMap.h"
#include "upgrade/BootChips.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <optional>
#include <type_traits>

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

// N numbers separated by commas, each in lo..hi: decimals when
// `decimals`, else whole numbers with an optional sign.
template <std::size_t N> bool ParseList(const std::string& text, double lo, double hi, bool decimals,
                                        std::array<double, N>& out)
{
    std::size_t from = 0;
    for (std::size_t i = 0; i < N; ++i) {
        const auto comma = text.find(',', from);
        if ((comma == std::string::npos) != (i + 1 == N))
            return false;
        const std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        if (item.empty() || item.size() > 12 ||
            item.find_first_not_of(decimals ? "+-0123456789." : "+-0123456789") != std::string::npos)
            return false;
        char* end = nullptr;
        errno = 0;
        const double v = std::strtod(item.c_str(), &end);
        if (errno != 0 || end != item.c_str() + item.size() || !(v >= lo && v <= hi))
            return false;
        out[i] = v;
        from = comma + 1;
    }
    return true;
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
           "  --attitude R,T,P       hold the controller still at roll, tilt and pan (degrees),\n"
           "                         reported without sensor noise\n"
           "  --sticks R,T,P,M,S     hold the RC channels roll, tilt, pan, mode, shot (-100 to 100)\n"
           "  --drop F               drop a fraction F (0 to 1) of the answers\n"
           "  --corrupt F            send a fraction F of the answers with a bad CRC\n"
           "  --garbage F            put stray bytes before a fraction F of the answers\n"
           "  --silence AFTER:FOR    fall silent AFTER ms after start, for FOR ms\n"
           "  --unplug AFTER:FOR     unplug AFTER ms after start, come back FOR ms later\n"
           "  --refuse-flash N       refuse the next N writes to flash\n"
           "  --echo                 the line echoes every byte the PC sends, besides the answers\n"
           "  --echo-only            the line echoes every byte the PC sends, and no board answers\n"
           "  --pace                 send at the pace of a 115200 baud line (boot loader: 8E1, both ways)\n"
           "  --boot-refuse-write N[:COUNT]\n"
           "                         the boot loader refuses its N-th write (and COUNT-1 more)\n"
           "  --boot-corrupt-read N  the N-th read of flash comes back with one byte changed\n"
           "  --boot-silent-after N  the boot loader falls silent after N bytes, once\n"
           "  --boot-deaf            the boards never enter their boot loader\n"
           "  --chip ID              the controller's boot loader plays chip ID (default 0x410)\n"
           "  --motor-chip ID        the motor board's boot loader plays chip ID (default 0x422)\n"
           "  --answer-delay MS      send each answer MS ms after its request was heard (boot loader too)\n"
           "  --frame-log FILE       write one line per frame heard: time in ns, device, frame in hex\n"
           "  --seed N               seed of the random numbers (default 1)\n"
           "  --version              print the version and exit\n"
           "Runs until SIGINT or SIGTERM, then removes its aliases.\n";
}

Result ParseSimOptions(const std::vector<std::string>& args, SimCommandLine& out)
{
    SimulatorConfig& c = out.config;
    constexpr long long kIntMax = std::numeric_limits<int>::max();
    auto flag = [](bool& target) {
        return [&target](const std::string&) {
            target = true;
            return true;
        };
    };
    auto count = [](auto& target, long long lo, long long hi) {
        return [&target, lo, hi](const std::string& v) {
            const auto n = ParseInteger(v, lo, hi);
            if (n)
                target = static_cast<std::remove_reference_t<decltype(target)>>(*n);
            return n.has_value();
        };
    };
    auto time = [](milliseconds& target, long long hi) {
        return [&target, hi](const std::string& v) {
            const auto n = ParseInteger(v, 0, hi);
            if (n)
                target = milliseconds(*n);
            return n.has_value();
        };
    };
    auto port = [](int& target) {
        return [&target](const std::string& v) {
            target = PortNumberFromName(v);
            return target != 0;
        };
    };
    auto file = [](std::string& target) {
        return [&target](const std::string& v) {
            target = v;
            return !v.empty();
        };
    };
    auto fraction = [](double& target) {
        return [&target](const std::string& v) {
            const auto f = ParseFraction(v);
            if (f)
                target = *f;
            return f.has_value();
        };
    };
    auto window = [](milliseconds& after, milliseconds& length) {
        return [&after, &length](const std::string& v) { return ParseWindow(v, after, length); };
    };
    auto chip = [](std::uint16_t& target) {
        return [&target](const std::string& v) {
            const auto id = ParseChipId(v);
            if (id && FindChip(*id))
                target = *id;
            return id && FindChip(*id);
        };
    };
    auto refuseWrite = [&c](const std::string& v) {
        const auto colon = v.find(':');
        const auto n = ParseInteger(v.substr(0, colon), 1, kIntMax);
        const auto times = colon == std::string::npos ? std::optional<long long>(1)
                                                      : ParseInteger(v.substr(colon + 1), 1, kIntMax);
        if (!n || !times)
            return false;
        c.bootFaults.refuseWrite = static_cast<int>(*n);
        c.bootFaults.refuseWriteCount = static_cast<int>(*times);
        return true;
    };
    auto attitude = [&c](const std::string& v) {
        std::array<double, 3> a{};
        if (!ParseList(v, -180.0, 180.0, true, a))
            return false;
        c.attitude = a;
        return true;
    };
    auto sticks = [&c](const std::string& v) {
        std::array<double, 5> a{};
        if (!ParseList(v, -100.0, 100.0, false, a))
            return false;
        std::array<std::int8_t, 5> held{};
        for (std::size_t i = 0; i < a.size(); ++i)
            held[i] = static_cast<std::int8_t>(a[i]);
        c.sticks = held;
        return true;
    };
    const OptionRow rows[] = {
        {"--help", "-h", false, flag(out.help)},
        {"--version", {}, false, flag(out.version)},
        {"--pace", {}, false, flag(c.paceOutput)},
        {"--boot-deaf", {}, false, flag(c.bootFaults.deaf)},
        {"--echo", {}, false, flag(c.faults.echo)},
        {"--echo-only", {}, false, flag(c.faults.echoOnly)},
        {"--chip", {}, true, chip(c.controllerChip), "a chip id of the chip table, such as 0x410"},
        {"--motor-chip", {}, true, chip(c.motorChip), "a chip id of the chip table, such as 0x422"},
        {"--boot-refuse-write", {}, true, refuseWrite, "N or N:COUNT, counting from 1"},
        {"--boot-corrupt-read", {}, true, count(c.bootFaults.corruptRead, 1, kIntMax), "a count from 1"},
        {"--boot-silent-after", {}, true, count(c.bootFaults.silentAfter, 0, kIntMax), "a count of bytes"},
        {"--controller", {}, true, port(c.controllerCom), "a port name COM1 to COM1024"},
        {"--motor", {}, true, port(c.motorCom), "a port name COM1 to COM1024"},
        {"--frame-log",
         {},
         true,
         [&c](const std::string& v) {
             c.frameLog = v;
             return true;
         }},
        {"--flash", {}, true, file(c.flashPath), "a file name"},
        {"--motor-flash", {}, true, file(c.motorFlashPath), "a file name"},
        {"--firmware", {}, true, count(c.controllerFirmware, 0, 255), "a number from 0 to 255"},
        {"--motor-firmware", {}, true, count(c.motorFirmware, 0, 255), "a number from 0 to 255"},
        {"--calibration-ms",
         {},
         true,
         time(c.calibrationTime, 600000),
         "a number of milliseconds up to 600000"},
        {"--attitude", {}, true, attitude, "three angles R,T,P from -180 to 180 degrees"},
        {"--sticks", {}, true, sticks, "five channels R,T,P,M,S from -100 to 100"},
        {"--drop", {}, true, fraction(c.faults.drop), "a fraction from 0 to 1"},
        {"--corrupt", {}, true, fraction(c.faults.corrupt), "a fraction from 0 to 1"},
        {"--garbage", {}, true, fraction(c.faults.garbage), "a fraction from 0 to 1"},
        {"--silence",
         {},
         true,
         window(c.faults.silenceAfter, c.faults.silenceFor),
         "AFTER:FOR in milliseconds"},
        {"--unplug", {}, true, window(c.faults.unplugAfter, c.faults.unplugFor), "AFTER:FOR in milliseconds"},
        {"--answer-delay",
         {},
         true,
         time(c.faults.answerDelay, 10000),
         "a number of milliseconds up to 10000"},
        {"--refuse-flash", {}, true, count(c.faults.refuseFlashWrites, 0, kIntMax), "a count"},
        {"--seed",
         {},
         true,
         count(c.seed, 0, std::numeric_limits<std::uint32_t>::max()),
         "a number from 0 to 4294967295"},
    };
    OptionStyle style;
    style.inlineValues = true;
    style.positional = false;
    if (const auto fault = ParseOptionRows(args, 0, rows, style))
        return Result::Failed(EINVAL, OptionFaultSentence(*fault));
    if (!out.help && !out.version && c.controllerCom == 0 && c.motorCom == 0)
        return Result::Failed(EINVAL, "give --controller COM<n>, --motor COM<m> or both (try --help)");
    return {};
}

int RunSimulator(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const std::function<void()>& waitForStop)
{
    SimCommandLine cmd;
    if (const Result parsed = ParseSimOptions(args, cmd); !parsed) {
        err << "qav-nuva-sim: " << parsed.message << std::endl;
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
    if (const Result started = simulator.Start(); !started) {
        err << "qav-nuva-sim: " << started.message << std::endl;
        return 1;
    }
    waitForStop();
    simulator.Stop();
    return 0;
}

} // namespace qav::sim
