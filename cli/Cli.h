#pragma once
// qav-nuva-cli: scripting the gimbal from a shell. Every command prints its
// results on `out` and failures as one plain sentence on `err`, and returns
// one of the exit codes below.
#include <csignal>
#include <iosfwd>
#include <string>
#include <vector>

namespace qav::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,      // bad command line, or a file that cannot be read, written or sent;
                         // also `diff --exit-code` finding differences, as git does
    kExitPort = 2,       // the port cannot be opened
    kExitNoAnswer = 3,   // the board did not answer within kAnswerTimeout (LinkSession.h)
    kExitDeviceFail = 4, // the device reported a failure
};

// Runs one command line (without the program name). `stop`, when given, is
// polled by every command that talks to the device; once it holds a signal
// number the command ends cleanly (a monitor with exit code 0, the others
// with 128 + that number).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const volatile std::sig_atomic_t* stop = nullptr);

} // namespace qav::cli
