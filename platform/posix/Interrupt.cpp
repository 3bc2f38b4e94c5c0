#include "platform/Interrupt.h"

#include <atomic>
#include <csignal>

namespace qwz::platform {
namespace {

std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

extern "C" void OnStopSignal(int signal) {
    int none = 0;
    requested.compare_exchange_strong(none, signal);
}

}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes under way go on: a file being converted finishes.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int InterruptSignal() { return requested.load(); }

int InterruptExitCode(int signal) { return 128 + signal; }

void IgnoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace qwz::platform
