// Scans the segment every cycle on a thread of its own and hands each result on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "scan.h"

namespace pelvane::gateway {

class ScanLoop {
  public:
    // publish gets each complete scan (none for a scan that lost a frame) and the frames
    // lost so far; it runs on the loop's thread.
    using Publish = std::function<void(std::shared_ptr<const ecat::BusScan>, uint64_t)>;

    ScanLoop(ecat::Master& master, std::chrono::milliseconds cycle, Publish publish, int verbosity);
    ~ScanLoop();
    ScanLoop(const ScanLoop&) = delete;
    ScanLoop& operator=(const ScanLoop&) = delete;

    void Start();
    // Prompt: a scan in progress finishes, the wait ends at once.
    void Stop();

  private:
    void Run();

    ecat::Master& master_;
    ecat::Scanner scanner_;
    const std::chrono::milliseconds cycle_;
    const Publish publish_;
    const int verbosity_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace pelvane::gateway
