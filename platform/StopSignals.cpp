// The handlers only set a flag: anything more is unsafe inside a signal handler.
#include "platform/StopSignals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void onStopSignal(int) { g_stopRequested = 1; }

}  // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Kept for every later signal too: a second Ctrl-C must not end the program before the pairs are written.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopSignalled() { return g_stopRequested != 0; }
