// params: the reference of each board's parameters, made from the parameter
// tables, as text, JSON lines or the Markdown document.
#include "BoardSession.h"
#include "Cli.h"
#include "CommandHandlers.h"
#include "files/ParamReference.h"

#include <ostream>

namespace qav::cli {

int RunParams(const CommandCall& call)
{
    const bool json = call.options.Flag("--json"), markdown = call.options.Flag("--markdown");
    if (markdown && (json || call.options.Value("--board")))
        return call.Usage(1);
    const auto board = ChosenBoard(call.options);
    if (!board)
        return Fail(call.err, kExitUsage, BadBoard());
    if (markdown) {
        call.out << ReferenceMarkdown(ControllerReference(), MotorReference());
    } else {
        const std::vector<ParamFacts> facts =
            WithBoard(*board, [](auto kind) { return ReferenceOf<typename decltype(kind)::Params>(); });
        call.out << (json ? ReferenceJson(facts) : ReferenceText(facts));
    }
    call.out.flush();
    if (!call.out)
        return Fail(call.err, kExitUsage, Say(Message::CannotWriteOutput));
    return kExitOk;
}

} // namespace qav::cli
