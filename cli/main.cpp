#include "Cli.h"
#include "StopSignals.h"

#include <iostream>

namespace {
// The number of the stop signal received, 0 before.
volatile std::sig_atomic_t g_stop = 0;
} // namespace

int main(int argc, char** argv)
{
    qav::cli::InstallStopHandlers(&g_stop);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return qav::cli::RunCli(args, std::cout, std::cerr, &g_stop);
}
