#include "DiffCommand.h"

#include "Cli.h"
#include "ControllerSession.h"
#include "files/ConfigDiff.h"

#include <algorithm>
#include <ostream>

namespace qav::cli {
namespace {

int Fail(std::ostream& err, int code, const std::string& sentence)
{
    err << "qav-nuva-cli: " << sentence << '\n';
    return code;
}

std::string Shown(const std::string& key, const std::string& value, const std::vector<std::string>& missing)
{
    const bool lacks = std::find(missing.begin(), missing.end(), key) != missing.end();
    return lacks ? value + " (missing)" : value;
}

int Report(const ControllerParams& a, const std::vector<std::string>& missingA, const ControllerParams& b,
           const std::vector<std::string>& missingB, bool exitCode, std::ostream& out)
{
    const std::vector<ConfigDifference> differences = DiffControllerParams(a, b);
    for (const ConfigDifference& d : differences)
        out << d.key << '\t' << Shown(d.key, d.a, missingA) << '\t' << Shown(d.key, d.b, missingB) << '\n';
    out.flush();
    return exitCode && !differences.empty() ? 1 : kExitOk;
}

// The four echo quarters of a read-back.
struct ReadBack final : IControllerEvents
{
    unsigned quarters = 0;
    void OnEchoDecoded(std::uint8_t type) override { quarters |= 1u << (type - kTypeReadGains); }
};

} // namespace

int DiffFiles(const std::string& fileA, const std::string& fileB, bool exitCode, std::ostream& out,
              std::ostream& err)
{
    LoadedControllerConfig a, b;
    std::string why;
    if (!LoadControllerConfigForDiff(fileA, a, why) || !LoadControllerConfigForDiff(fileB, b, why))
        return Fail(err, kExitUsage, why);
    return Report(a.params, a.missing, b.params, b.missing, exitCode, out);
}

int DiffDevice(const std::string& port, const std::string& file, bool exitCode, std::ostream& out,
               std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    // The file first: a file that cannot be compared asks nothing of the
    // controller.
    LoadedControllerConfig loaded;
    std::string why;
    if (!LoadControllerConfigForDiff(file, loaded, why))
        return Fail(err, kExitUsage, why);
    ControllerParams device;
    ReadBack events;
    ControllerSession session(device, events);
    if (!session.Open(port, why))
        return Fail(err, kExitPort, why);
    const auto outcome = session.RunUntil([&] { return events.quarters == 0xF; }, kAnswerTimeout, stop);
    if (outcome == ControllerSession::Outcome::Stopped) {
        const int signal = stop && *stop > 0 ? static_cast<int>(*stop) : SIGINT;
        return Fail(err, 128 + signal, "Interrupted; nothing was compared.");
    }
    if (outcome == ControllerSession::Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, "No answer from the controller on " + port + " within 3 seconds.");
    return Report(device, {}, loaded.params, loaded.missing, exitCode, out);
}

} // namespace qav::cli
