#include "scan_loop.h"

#include <cstdio>
#include <string>

namespace pelvane::gateway {

ScanLoop::ScanLoop(ecat::Master& master, std::chrono::milliseconds cycle, Publish publish,
                   int verbosity)
    : master_(master),
      scanner_(master),
      cycle_(cycle),
      publish_(std::move(publish)),
      verbosity_(verbosity) {}

ScanLoop::~ScanLoop() {
    Stop();
}

void ScanLoop::Start() {
    thread_ = std::thread([this] { Run(); });
}

void ScanLoop::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ScanLoop::Run() {
    size_t lastCount = SIZE_MAX;
    auto next = std::chrono::steady_clock::now();
    for (;;) {
        std::string error;
        auto scan = scanner_.Scan(&error);
        if (verbosity_ > 0 && !scan) std::fprintf(stderr, "scan: %s\n", error.c_str());
        if (verbosity_ > 0 && scan && scan->nodes.size() != lastCount) {
            lastCount = scan->nodes.size();
            std::fprintf(stderr, "scan: %zu nodes\n", lastCount);
        }
        publish_(scan ? std::make_shared<const ecat::BusScan>(std::move(*scan)) : nullptr,
                 master_.framesLost());
        // A scan slower than the cycle is followed at once, never by a burst.
        next = std::max(next + cycle_, std::chrono::steady_clock::now());
        std::unique_lock lock(mutex_);
        if (wake_.wait_until(lock, next, [this] { return stopping_; })) return;
    }
}

}  // namespace pelvane::gateway
