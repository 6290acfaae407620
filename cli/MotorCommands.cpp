#include "MotorCommands.h"

#include "Cli.h"
#include "MotorSession.h"
#include "motor/MotorConfigFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

namespace qav::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFlashPatience = std::chrono::seconds(3);

int Fail(std::ostream& err, int code, const std::string& sentence)
{
    err << sentence << '\n';
    return code;
}

std::string NoAnswer(const std::string& port)
{
    return "No answer from the motor board on " + port + " within 3 seconds.";
}

// Remembers what the board said, for the commands to wait on.
struct MotorWatch final : IMotorEvents
{
    bool reported = false;   // a parameter report arrived
    bool monitoring = false; // a monitor report arrived after it
    bool accepted = false;   // a type 1 reply without a flash write to follow
    bool stored = false;     // the board stored the parameters in flash
    std::optional<Clock::time_point> firstRefusal;
    std::optional<std::uint8_t> firmware;
    std::function<void(std::uint16_t, std::uint16_t)> onMonitor;

    void OnParameterReport(const MotorParams&) override { reported = true; }
    void OnParametersAccepted(bool flashNext) override { accepted = accepted || !flashNext; }
    void OnFlashResult(bool ok) override
    {
        if (ok)
            stored = true;
        else if (!firstRefusal)
            firstRefusal = Clock::now();
    }
    void OnFirmwareVersion(std::uint8_t tenths) override { firmware = tenths; }
    void OnMonitor(std::uint16_t v, std::uint16_t a) override
    {
        monitoring = reported || monitoring;
        if (onMonitor)
            onMonitor(v, a);
    }
};

int OpenOrFail(MotorSession& session, const std::string& port, std::ostream& err)
{
    std::string why;
    if (!session.Open(port, why))
        return Fail(err, kExitPort, why);
    return kExitOk;
}

// The board's parameters, read as the file would hold them.
std::string RenderMotorConfig(const MotorParams& params)
{
    IniDocument doc;
    for (const IniEntry& e : MotorConfigEntries(params))
        doc.Set(e.section, e.key, e.value);
    return doc.Text();
}

} // namespace

int MotorRead(const std::string& port, const std::string& outFile, std::ostream& out, std::ostream& err,
              const volatile std::sig_atomic_t* stop)
{
    MotorParams params;
    MotorWatch watch;
    MotorSession session(params, watch);
    if (int rc = OpenOrFail(session, port, err))
        return rc;
    const auto outcome = session.RunUntil([&] { return watch.reported; }, kAnswerTimeout, stop);
    if (outcome == MotorSession::Outcome::Stopped)
        return kExitOk;
    if (outcome != MotorSession::Outcome::Done)
        return Fail(err, kExitNoAnswer, NoAnswer(port));
    if (outFile.empty()) {
        out << RenderMotorConfig(params);
        return kExitOk;
    }
    if (const IniWriteResult r = SaveMotorConfig(outFile, params); !r.ok)
        return Fail(err, kExitUsage, "Cannot write " + outFile + ": " + std::strerror(r.error) + ".");
    return kExitOk;
}

int MotorMonitor(const std::string& port, long count, bool json, std::ostream& out, std::ostream& err,
                 const volatile std::sig_atomic_t* stop)
{
    MotorParams params;
    MotorWatch watch;
    long printed = 0;
    watch.onMonitor = [&](std::uint16_t v, std::uint16_t a) {
        // One read may bring several reports; print no more than asked for.
        if (count >= 0 && printed >= count)
            return;
        char fw[16] = "null";
        if (watch.firmware)
            std::snprintf(fw, sizeof fw, "%.1f", *watch.firmware / 10.0);
        char line[128];
        if (json)
            std::snprintf(line, sizeof line, "{\"voltage\":%.3f,\"current\":%.3f,\"firmware\":%s}",
                          v * kMotorVoltsPerUnit, a * kMotorAmpsPerUnit, fw);
        else
            std::snprintf(line, sizeof line, "voltage %.3f current %.3f firmware %s", v * kMotorVoltsPerUnit,
                          a * kMotorAmpsPerUnit, watch.firmware ? fw : "-");
        out << line << std::endl;
        ++printed;
    };
    MotorSession session(params, watch);
    if (int rc = OpenOrFail(session, port, err))
        return rc;
    // Straight to monitoring: looking needs no parameter report.
    session.Link().RequestCommand(kMotorCmdMonitor);
    const auto outcome =
        session.RunUntil([&] { return count >= 0 && printed >= count; }, kAnswerTimeout, stop);
    if (outcome == MotorSession::Outcome::NoAnswer)
        return Fail(err, kExitNoAnswer, NoAnswer(port));
    return kExitOk;
}

int MotorWrite(const std::string& port, const std::string& file, bool flash, std::ostream& out,
               std::ostream& err, const volatile std::sig_atomic_t* stop)
{
    const MotorFileCheck check = CheckMotorConfigFile(file);
    if (!check.ok)
        return Fail(err, kExitUsage, check.problem + " Nothing was sent.");

    MotorParams params;
    MotorWatch watch;
    MotorSession session(params, watch);
    if (int rc = OpenOrFail(session, port, err))
        return rc;
    // The board's own values first, for the keys the file leaves out. Its
    // answers come in order, so once a monitor report follows the parameter
    // report no late report can turn the write back into monitoring.
    auto outcome = session.RunUntil([&] { return watch.monitoring; }, kAnswerTimeout, stop);
    if (outcome == MotorSession::Outcome::Stopped)
        return kExitOk;
    if (outcome != MotorSession::Outcome::Done)
        return Fail(err, kExitNoAnswer, NoAnswer(port));

    for (std::size_t i = 0; i < kMotorConfigKeys.size(); ++i) {
        std::uint8_t& value = params.*kMotorConfigKeys[i].param;
        if (check.values[i])
            value = *check.values[i];
        else
            err << file << " has no " << kMotorConfigKeys[i].key << "; the board's value " << int(value)
                << " is kept.\n";
    }

    if (flash)
        session.Link().SetFlashPending();
    session.Link().RequestCommand(kMotorCmdWrite);
    const auto started = Clock::now();
    bool gaveUp = false, unanswered = false;
    const auto finished = [&] {
        const auto now = Clock::now();
        if (watch.firstRefusal && !watch.stored && now - *watch.firstRefusal >= kFlashPatience)
            gaveUp = true;
        // Replies that never take the parameters count as no answer.
        if (!watch.accepted && !watch.firstRefusal && now - started > kAnswerTimeout)
            unanswered = true;
        return gaveUp || unanswered || (flash ? watch.stored : watch.accepted);
    };
    outcome = session.RunUntil(finished, kAnswerTimeout, stop);
    if (outcome == MotorSession::Outcome::Stopped)
        return kExitOk;
    if (outcome == MotorSession::Outcome::NoAnswer || unanswered)
        return Fail(err, kExitNoAnswer, NoAnswer(port));
    if (gaveUp)
        return Fail(err, kExitDeviceFail, "Write flash failed! (the board refused for 3 seconds)");
    out << (flash ? "Write flash successfully!\n" : "Parameters uploaded.\n");
    return kExitOk;
}

} // namespace qav::cli
