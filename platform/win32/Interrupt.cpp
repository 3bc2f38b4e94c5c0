#include "platform/Interrupt.h"

#include <atomic>
#include <csignal>
#include <windows.h>

namespace qwz::platform {
namespace {

std::atomic<int> requested{0};

// Runs on a thread of its own that the console starts. Closing the console
// window or logging off is left to the system: it ends the process shortly
// after whatever a handler does.
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    int none = 0;
    requested.compare_exchange_strong(none, SIGINT);
    return TRUE;
}

}  // namespace

void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

int InterruptSignal() { return requested.load(); }

int InterruptExitCode(int signal) { return 128 + signal; }

void IgnoreBrokenPipe() {}

// Windows has no SIGPIPE; its POSIX number gives the usual exit code 141.
int BrokenPipeSignal() { return 13; }

void EndAsKilledBy(int) {}

}  // namespace qwz::platform
