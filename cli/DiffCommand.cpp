// diff: which parameters differ between two configuration files, or between
// a board's own set and a file. One line per differing key: key, first
// value, second value, separated by tabs. Exit 0, or with --exit-code 1 when
// anything differs (like git).
#include "BoardSession.h"
#include "Cli.h"
#include "CommandHandlers.h"
#include "WriteChecks.h"
#include "files/ConfigDiff.h"

#include <algorithm>
#include <ostream>

namespace qav::cli {
namespace {

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

// A file by the load rules, and the keys it lacks; the keys that are no
// parameter are named on `err`.
template <class S>
Result LoadForDiff(const std::string& path, S& params, std::vector<std::string>& missing, std::ostream& err)
{
    LoadedConfig<S> loaded;
    if (Result r = LoadConfigForDiff(path, loaded); !r)
        return r;
    SayIgnoredKeys(path, loaded.unknown, ConfigKeyRanges(BoardOfRecord<S>()), err);
    params = loaded.params;
    missing = loaded.missing;
    return {};
}

template <class B>
int DiffFiles(const std::string& fileA, const std::string& fileB, bool exitCode, std::ostream& out,
              std::ostream& err)
{
    typename B::Params a, b;
    std::vector<std::string> missingA, missingB;
    Result r = LoadForDiff(fileA, a, missingA, err);
    if (r)
        r = LoadForDiff(fileB, b, missingB, err);
    if (!r)
        return Fail(err, kExitUsage, r.message);
    return Report(
        DiffFileEntries(ConfigEntries(a), ConfigEntries(b), ConfigKeyRanges(RowOf<B>()), missingA, missingB),
        exitCode, out);
}

// The board's set first, the file second. The file is read first: a file
// that cannot be compared asks nothing of the board.
template <class B>
int DiffDevice(const std::string& port, const std::string& file, bool exitCode, const CommandCall& call)
{
    typename B::Params loaded, device;
    std::vector<std::string> missing;
    if (const Result r = LoadForDiff(file, loaded, missing, call.err); !r)
        return Fail(call.err, kExitUsage, r.message);
    if (const int rc = ReadBoardSet<B>(device, port, call.err, call.stop, Say(Message::NothingCompared)))
        return rc;
    return Report(WithoutMissing(DiffParams(device, loaded), missing), exitCode, call.out);
}

} // namespace

int RunDiff(const CommandCall& call)
{
    const auto board = ChosenBoard(call.options);
    if (!board)
        return Fail(call.err, kExitUsage, BadBoard());
    const bool exitCode = call.options.Flag("--exit-code");
    const std::vector<std::string>& files = call.Operands();
    if (const std::string* port = call.options.Value("--port")) {
        if (files.size() != 1)
            return call.Usage(1);
        return WithBoard(
            *board, [&](auto kind) { return DiffDevice<decltype(kind)>(*port, files[0], exitCode, call); });
    }
    if (files.size() != 2)
        return call.Usage(0);
    return WithBoard(*board, [&](auto kind) {
        return DiffFiles<decltype(kind)>(files[0], files[1], exitCode, call.out, call.err);
    });
}

} // namespace qav::cli
