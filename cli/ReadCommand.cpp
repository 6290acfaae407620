// read: the board's whole set as a configuration file, printed or saved.
#include "BoardSession.h"
#include "Cli.h"
#include "CommandHandlers.h"

#include <ostream>

namespace qav::cli {
namespace {

template <class B> int ReadSet(const CommandCall& call, const std::string& port, const std::string* file)
{
    typename B::Params params;
    if (const int rc = ReadBoardSet<B>(params, port, call.err, call.stop, Say(Message::NothingRead)))
        return rc;
    if (file) {
        if (const Result r = SaveConfig(*file, params); !r)
            return Fail(call.err, kExitUsage, Say(Message::CannotWrite, {*file, r.message}));
        return kExitOk;
    }
    call.out << ConfigText(ConfigEntries(params)) << std::flush;
    if (!call.out)
        return Fail(call.err, kExitUsage, Say(Message::CannotWriteOutput));
    return kExitOk;
}

} // namespace

int RunRead(const CommandCall& call)
{
    const auto board = ChosenBoard(call.options);
    if (!board)
        return Fail(call.err, kExitUsage, BadBoard());
    const std::string& port = *call.options.Value("--port");
    const std::string* file = call.options.Value("-o");
    // Refused before anything is asked of the board.
    if (file)
        if (const Result r = CheckConfigOutput(*file); !r)
            return Fail(call.err, kExitUsage, r.message);
    return WithBoard(*board, [&](auto kind) { return ReadSet<decltype(kind)>(call, port, file); });
}

} // namespace qav::cli
