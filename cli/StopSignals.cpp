#include "cli/StopSignals.h"

#include <csignal>
#include <initializer_list>

namespace {

std::atomic<bool> stopRequested{false};
volatile std::sig_atomic_t caughtSignal = 0;
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnStopSignal(int signal) {
    caughtSignal = signal;
    stopRequested.store(true);
}

}  // namespace

void CatchStopSignals() {
#ifndef _WIN32
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a question waiting on the terminal returns at once.
    action.sa_flags = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
#endif
}

const std::atomic<bool>& StopRequested() { return stopRequested; }

int CaughtSignal() { return caughtSignal; }
