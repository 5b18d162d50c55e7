// SIGINT and SIGTERM as the way a program of ours is told to stop.
#pragma once

#include <signal.h>

namespace common {

// Construct before any thread starts: threads inherit the blocked mask, so the signals
// reach only the thread that waits for them.
class StopSignals {
  public:
    StopSignals();
    // Waits for SIGINT or SIGTERM and returns which one came.
    int Wait() const;

  private:
    sigset_t set_;
};

}  // namespace common
