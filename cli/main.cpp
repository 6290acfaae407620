#include "Cli.h"

#include <csignal>
#include <iostream>

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int)
{
    g_stop = 1;
}
} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return qav::cli::RunCli(args, std::cout, std::cerr, &g_stop);
}
