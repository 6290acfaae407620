// motor-on, motor-off, calibrate: one command to the controller and its
// result.
#include "BoardSession.h"
#include "Cli.h"
#include "CommandHandlers.h"

namespace qav::cli {
namespace {

// Waits for the result of one command and keeps what the controller said.
struct CommandWatch final : IControllerEvents
{
    explicit CommandWatch(std::uint8_t command) : command(command) {}
    std::uint8_t command;
    ControllerLinkState* link = nullptr;
    const ControllerResult* result = nullptr;
    std::uint8_t motorState = 0;

    void OnCommandResult(const ControllerResult& r, std::uint8_t m) override
    {
        if ((r.code & ~kResultFailed) == command) {
            result = &r;
            motorState = m;
            return;
        }
        // The result of another command, still in flight from before this
        // run (a controller answering late): it cleared the command code,
        // but this command has not been answered yet.
        if (link && !result)
            link->commandCode = command;
    }
};

int SendCommand(const CommandCall& call, std::uint8_t code)
{
    const std::string& port = *call.options.Value("--port");
    ControllerParams params;
    CommandWatch watch(code);
    ControllerSession session(params, watch);
    if (const int rc = OpenOrFail(session, port, call.err))
        return rc;
    ControllerLinkState& state = session.Link().State();
    watch.link = &state;
    state.commandCode = code;
    state.SelectFrameType(kTypePoll);
    const auto outcome = session.RunUntil([&] { return watch.result != nullptr; }, kAnswerTimeout, call.stop);
    if (const int rc = Ended(outcome, session, port, call.err, call.stop, Say(Message::CommandMaybeSent)))
        return rc;
    return ReportResult(*watch.result, watch.motorState, call.out, call.err);
}

} // namespace

int RunMotorOn(const CommandCall& call)
{
    return SendCommand(call, kCmdMotorOn);
}

int RunMotorOff(const CommandCall& call)
{
    return SendCommand(call, kCmdMotorOff);
}

int RunCalibrate(const CommandCall& call)
{
    return SendCommand(call, kCmdCalibrate);
}

} // namespace qav::cli
