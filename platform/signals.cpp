#include "platform/signals.h"

#include <pthread.h>
#include <signal.h>

#include "platform/thread.h"

namespace qf {
namespace {

sigset_t TerminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

void BlockTerminationSignals() {
    const sigset_t set = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

Status HandleTerminationSignals(std::function<void(int signal)> onSignal) {
    return StartThread("Signals", [onSignal = std::move(onSignal)] {
        const sigset_t set = TerminationSignals();
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) == 0) onSignal(signal);
        }
    });
}

}  // namespace qf
