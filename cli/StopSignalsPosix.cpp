#include "StopSignals.h"

namespace qav::cli {
namespace {

volatile std::sig_atomic_t* g_stop = nullptr;

void OnSignal(int signal)
{
    *g_stop = signal;
}

} // namespace

void InstallStopHandlers(volatile std::sig_atomic_t* stop)
{
    g_stop = stop;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace qav::cli
