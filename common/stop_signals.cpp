#include "common/stop_signals.h"

#include <pthread.h>

namespace common {

StopSignals::StopSignals() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
}

int StopSignals::Wait() const {
    int signal = 0;
    sigwait(&set_, &signal);
    return signal;
}

}  // namespace common
