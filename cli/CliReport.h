#pragma once
// How every command of qav-nuva-cli reports a failure: one sentence on the
// error stream after the program's name, and the exit code.
#include <csignal>
#include <ostream>
#include <string>

namespace qav::cli {

inline constexpr const char* kProgram = "qav-nuva-cli";

inline int Fail(std::ostream& err, int code, const std::string& sentence)
{
    err << kProgram << ": " << sentence << '\n';
    return code;
}

// After a stop signal: 128 + its number, as a shell reports it.
inline int Interrupted(std::ostream& err, const volatile std::sig_atomic_t* stop, const std::string& what)
{
    const int signal = stop && *stop > 0 ? static_cast<int>(*stop) : SIGINT;
    return Fail(err, 128 + signal, "Interrupted; " + what + ".");
}

} // namespace qav::cli
