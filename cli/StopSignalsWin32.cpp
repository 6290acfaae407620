#include "StopSignals.h"

#include "platform/WindowsApi.h"

namespace qav::cli {
namespace {

volatile std::sig_atomic_t* g_stop = nullptr;
// The system ends the process once the handler of a closing console
// returns (and after about 5 seconds in any case): time for the command to
// stop its board and for main to return, which ends the process first.
constexpr DWORD kClosingGraceMs = 4500;

// Runs on a thread of its own that the system starts.
BOOL WINAPI OnConsoleControl(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        *g_stop = SIGINT;
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        *g_stop = SIGTERM;
        ::Sleep(kClosingGraceMs);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void InstallStopHandlers(volatile std::sig_atomic_t* stop)
{
    g_stop = stop;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

} // namespace qav::cli
