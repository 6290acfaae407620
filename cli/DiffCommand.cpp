#include "DiffCommand.h"

#include "Cli.h"
#include "ControllerSession.h"
#include "MotorSession.h"
#include "files/ConfigDiff.h"
#include "files/ControllerConfigFile.h"
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

int Report(const std::vector<ConfigDifference>& differences, bool exitCode, std::ostream& out)
{
    for (const ConfigDifference& d : differences)
        out << d.key << '\t' << d.a << '\t' << d.b << '\n';
    out.flush();
    return exitCode && !differences.empty() ? 1 : kExitOk;
}

// A load keeps the board's value for a key the file lacks: no difference.
std::vector<ConfigDifference> WithoutMissing(std::vector<ConfigDifference> differences,
                                             const std::vector<std::string>& missing)
{
    std::erase_if(differences, [&](const ConfigDifference& d) {
        return std::find(missing.begin(), missing.end(), d.key) != missing.end();
    });
    return differences;
}

// A misspelt key must not pass unseen.
void SayIgnored(const std::string& path, const std::vector<std::string>& unknown, std::ostream& err)
{
    if (unknown.empty())
        return;
    const std::vector<std::string_view> names(unknown.begin(), unknown.end());
    const bool one = names.size() == 1;
    err << "qav-nuva-cli: " << path << (one ? " has no parameter named " : " has no parameters named ")
        << JoinKeys(names) << (one ? "; it is ignored.\n" : "; they are ignored.\n");
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

// A motor configuration file by the load rules, and the keys it lacks.
bool LoadMotorForDiff(const std::string& path, MotorParams& params, std::vector<std::string>& missing,
                      std::string& why, std::ostream& err)
{
    params = {};
    std::vector<std::string> unknown;
    if (const Result r = CheckFileForDiff(path, kMotorConfigSection, MotorConfigKeyRanges(), missing, &unknown);
        !r) {
        why = r.message;
        return false;
    }
    SayIgnored(path, unknown, err);
    if (!LoadMotorConfig(path, params)) {
        why = "Cannot read " + path + ".";
        return false;
    }
    return true;
}

std::vector<ConfigDifference> DiffMotor(const MotorParams& a, const MotorParams& b)
{
    return DiffEntries(MotorConfigEntries(a), MotorConfigEntries(b), MotorConfigKeyRanges());
}

bool LoadControllerForDiff(const std::string& path, LoadedControllerConfig& out, std::string& why,
                           std::ostream& err)
{
    if (const Result r = LoadControllerConfigForDiff(path, out); !r) {
        why = r.message;
        return false;
    }
    SayIgnored(path, out.unknown, err);
    return true;
}

template <class Session>
int RunRead(Session& session, const std::function<bool()>& done, const std::string& port,
            std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    if (const Result r = session.Open(port); !r)
        return Fail(err, kExitPort, r.message);
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
        if (!LoadMotorForDiff(fileA, a, missingA, why, err) || !LoadMotorForDiff(fileB, b, missingB, why, err))
            return Fail(err, kExitUsage, why);
        return Report(DiffFileEntries(MotorConfigEntries(a), MotorConfigEntries(b), MotorConfigKeyRanges(),
                                      missingA, missingB),
                      exitCode, out);
    }
    LoadedControllerConfig a, b;
    if (!LoadControllerForDiff(fileA, a, why, err) || !LoadControllerForDiff(fileB, b, why, err))
        return Fail(err, kExitUsage, why);
    return Report(DiffFileEntries(ControllerConfigEntries(a.params), ControllerConfigEntries(b.params),
                                  ControllerConfigKeyRanges(), a.missing, b.missing),
                  exitCode, out);
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
        if (!LoadMotorForDiff(file, loaded, missing, why, err))
            return Fail(err, kExitUsage, why);
        MotorReport events;
        MotorSession session(device, events);
        if (int rc = RunRead(
                session, [&] { return events.reported; }, port, err, stop))
            return rc;
        return Report(WithoutMissing(DiffMotor(device, loaded), missing), exitCode, out);
    }
    LoadedControllerConfig loaded;
    if (!LoadControllerForDiff(file, loaded, why, err))
        return Fail(err, kExitUsage, why);
    ControllerParams device;
    ReadBack events;
    ControllerSession session(device, events);
    if (int rc = RunRead(
            session, [&] { return events.quarters == 0xF; }, port, err, stop))
        return rc;
    return Report(WithoutMissing(DiffControllerParams(device, loaded.params), loaded.missing), exitCode, out);
}

} // namespace qav::cli
