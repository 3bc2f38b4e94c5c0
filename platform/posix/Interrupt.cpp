#include "platform/Interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdio>

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
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

int InterruptSignal() { return requested.load(); }

int InterruptExitCode(int signal) { return 128 + signal; }

void IgnoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

int BrokenPipeSignal() { return SIGPIPE; }

void EndAsKilledBy(int signal) {
    std::fflush(nullptr);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    // Blocked signals wait: let this one through.
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
}

}  // namespace qwz::platform
