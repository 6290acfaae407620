#include "Cli.h"

#include <csignal>
#include <iostream>

namespace {
// The number of the stop signal received, 0 before.
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int signal)
{
    g_stop = signal;
}
} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    // A closed output shows as a failed write (EPIPE), which the commands
    // notice: a monitor piped into head ends as soon as head has gone.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return qav::cli::RunCli(args, std::cout, std::cerr, &g_stop);
}
