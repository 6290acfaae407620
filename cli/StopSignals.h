#pragma once
// The system's ways of asking qav-nuva-cli to stop, turned into the stop
// flag every command polls: the flag takes the number of the signal that
// asked (SIGINT for Ctrl+C, SIGTERM for a polite kill), and the command ends
// with 128 plus that number.
#include <csignal>

namespace qav::cli {

// POSIX: SIGINT and SIGTERM set *stop; SIGPIPE is ignored, so a closed
// output shows as a failed write that the commands notice (a monitor piped
// into head ends as soon as head has gone).
// Windows: Ctrl+C and Ctrl+Break set SIGINT; closing the console window,
// logging off and shutting down set SIGTERM, and the handler then holds the
// system's hand for a few seconds so the command can end in order.
void InstallStopHandlers(volatile std::sig_atomic_t* stop);

} // namespace qav::cli
