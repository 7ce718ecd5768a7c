#include "StopSignal.h"

#include <csignal>
#include <pthread.h>

namespace karvel::sim {

namespace {
sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
} // namespace

// Blocked here, and so in every thread started later; wait() takes them.
StopSignal::StopSignal() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignal::~StopSignal() = default;

void StopSignal::wait() {
    const sigset_t set = stopSignals();
    int received = 0;
    sigwait(&set, &received);
}

} // namespace karvel::sim
