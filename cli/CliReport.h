#pragma once
// How every command of qav-nuva-cli reports a failure: one sentence on the
// error stream after the program's name, and the exit code.
#include "CliMessages.h"

#include <chrono>
#include <csignal>
#include <ostream>
#include <string>
#include <string_view>

namespace qav::cli {

inline constexpr const char* kProgram = "qav-nuva-cli";

// A line on the error stream that is no failure (a key ignored, a backup made).
inline void Note(std::ostream& err, const std::string& sentence)
{
    err << kProgram << ": " << sentence << '\n';
}

inline int Fail(std::ostream& err, int code, const std::string& sentence)
{
    Note(err, sentence);
    return code;
}

// After a stop signal: 128 + its number, as a shell reports it, and what
// was left undone ("nothing was read").
inline int Interrupted(std::ostream& err, const volatile std::sig_atomic_t* stop, std::string_view undone)
{
    const int signal = stop && *stop > 0 ? static_cast<int>(*stop) : SIGINT;
    return Fail(err, 128 + signal, Say(Message::Interrupted, {undone}));
}

// "3 seconds", as the sentences that name a time-out say it.
inline std::string SecondsText(std::chrono::seconds s)
{
    return Say(s.count() == 1 ? Message::Second : Message::Seconds, {std::to_string(s.count())});
}

} // namespace qav::cli
