// qav-nuva-sim: the simulated gimbal on pseudo-terminals.
#include "SimOptions.h"

#include <csignal>
#include <iostream>
#include <pthread.h>

int main(int argc, char** argv)
{
    // Block the stop signals before any thread starts, so that every thread
    // inherits the mask and only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const std::vector<std::string> args(argv + 1, argv + argc);
    return qav::sim::RunSimulator(args, std::cout, std::cerr, [&] {
        int received = 0;
        sigwait(&stopSignals, &received);
    });
}
