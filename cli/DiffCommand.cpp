#include "DiffCommand.h"

#include "Cli.h"
#include "ControllerSession.h"
#include "MotorSession.h"
#include "files/ConfigDiff.h"
#include "motor/MotorConfigFile.h"

#include <algorithm>
#include <functional>
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

int Report(const std::vector<ConfigDifference>& differences, const std::vector<std::string>& missingA,
           const std::vector<std::string>& missingB, bool exitCode, std::ostream& out)
{
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

// The motor board's parameter report.
struct MotorReport final : IMotorEvents
{
    bool reported = false;
    void OnParameterReport(const MotorParams&) override { reported = true; }
};

// A motor configuration file by the load rules (a key it lacks reads as 0).
bool LoadMotorForDiff(const std::string& path, MotorParams& params, std::vector<std::string>& missing,
                      std::string& why)
{
    params = {};
    if (!CheckFileForDiff(path, kMotorConfigSection, kMotorConfigRanges, missing, why))
        return false;
    if (!LoadMotorConfig(path, params)) {
        why = "Cannot read " + path + ".";
        return false;
    }
    return true;
}

std::vector<ConfigDifference> DiffMotor(const MotorParams& a, const MotorParams& b)
{
    return DiffEntries(MotorConfigEntries(a), MotorConfigEntries(b), kMotorConfigRanges);
}

template <class Session>
int RunRead(Session& session, const std::function<bool()>& done, const std::string& port,
            std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    std::string why;
    if (!session.Open(port, why))
        return Fail(err, kExitPort, why);
    const auto outcome = session.RunUntil(done, kAnswerTimeout, stop);
    if (outcome == Session::Outcome::Stopped) {
        const int signal = stop && *stop > 0 ? static_cast<int>(*stop) : SIGINT;
        return Fail(err, 128 + signal, "Interrupted; nothing was compared.");
    }
    if (outcome == Session::Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, session.NoAnswerSentence(port));
    return kExitOk;
}

} // namespace

int DiffFiles(const std::string& fileA, const std::string& fileB, bool motor, bool exitCode,
              std::ostream& out, std::ostream& err)
{
    std::string why;
    if (motor) {
        MotorParams a, b;
        std::vector<std::string> missingA, missingB;
        if (!LoadMotorForDiff(fileA, a, missingA, why) || !LoadMotorForDiff(fileB, b, missingB, why))
            return Fail(err, kExitUsage, why);
        return Report(DiffMotor(a, b), missingA, missingB, exitCode, out);
    }
    LoadedControllerConfig a, b;
    if (!LoadControllerConfigForDiff(fileA, a, why) || !LoadControllerConfigForDiff(fileB, b, why))
        return Fail(err, kExitUsage, why);
    return Report(DiffControllerParams(a.params, b.params), a.missing, b.missing, exitCode, out);
}

int DiffDevice(const std::string& port, const std::string& file, bool motor, bool exitCode, std::ostream& out,
               std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    // The file first: a file that cannot be compared asks nothing of the
    // board.
    std::string why;
    if (motor) {
        MotorParams loaded, device;
        std::vector<std::string> missing;
        if (!LoadMotorForDiff(file, loaded, missing, why))
            return Fail(err, kExitUsage, why);
        MotorReport events;
        MotorSession session(device, events);
        if (int rc = RunRead(
                session, [&] { return events.reported; }, port, err, stop))
            return rc;
        return Report(DiffMotor(device, loaded), {}, missing, exitCode, out);
    }
    LoadedControllerConfig loaded;
    if (!LoadControllerConfigForDiff(file, loaded, why))
        return Fail(err, kExitUsage, why);
    ControllerParams device;
    ReadBack events;
    ControllerSession session(device, events);
    if (int rc = RunRead(
            session, [&] { return events.quarters == 0xF; }, port, err, stop))
        return rc;
    return Report(DiffControllerParams(device, loaded.params), {}, loaded.missing, exitCode, out);
}

} // namespace qav::cli
