#include "exporter/controller_poller.h"

#include <algorithm>

#include "common/backoff.h"
#include "controller/controller_link.h"
#include "controller/controller_state.h"
#include "exporter/bus_poll.h"

namespace pelvane::exporter {

namespace {

// A full poll of a 200-node bus takes tens of milliseconds on a quick link, seconds on a
// slow one.
const prometheus::Histogram::BucketBoundaries kPollBuckets = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                                              0.5,   1,    2.5,   5,    10};

}  // namespace

ControllerPoller::ControllerPoller(std::string address, Millis interval, Millis identityInterval)
    : address_(std::move(address)),
      interval_(interval),
      identityInterval_(identityInterval),
      pollDuration_(kPollBuckets),
      sample_(std::make_shared<const BusSample>()) {}

ControllerPoller::~ControllerPoller() {
    Stop();
}

void ControllerPoller::Start() {
    thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

void ControllerPoller::Stop() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
}

std::shared_ptr<const BusSample> ControllerPoller::sample() const {
    std::lock_guard lock(mutex_);
    return sample_;
}

void ControllerPoller::Run(std::stop_token stop) {
    // Large tables: on the heap rather than the thread's stack.
    auto poll = std::make_unique<BusPoll>(identityInterval_);
    common::Backoff retry(kFirstRetryDelay, kLastRetryDelay);
    while (true) {
        if (g_controllerHandle == nullptr) {
            if (!Link()) {
                if (!Sleep(stop, retry.Next())) break;
                continue;
            }
            poll->Relinked();
        }
        const auto start = std::chrono::steady_clock::now();
        BusSample sample = poll->Poll();
        const auto took = std::chrono::steady_clock::now() - start;
        pollDuration_.Observe(std::chrono::duration<double>(took).count());
        const bool up = sample.up;
        Publish(std::move(sample));
        Millis wait = interval_ - std::chrono::duration_cast<Millis>(took);
        if (up) {
            retry.Reset();
        } else {
            Unlink();
            wait = retry.Next();
        }
        if (!Sleep(stop, std::max(wait, Millis{0}))) break;
    }
    Unlink();
}

bool ControllerPoller::Link() {
    return OpenControllerLink(address_.c_str()) == 0;
}

void ControllerPoller::Unlink() {
    CloseControllerLink();
}

void ControllerPoller::Publish(BusSample sample) {
    auto shared = std::make_shared<const BusSample>(std::move(sample));
    std::lock_guard lock(mutex_);
    sample_ = std::move(shared);
}

bool ControllerPoller::Sleep(std::stop_token stop, Millis time) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, stop, time, [] { return false; });
    return !stop.stop_requested();
}

}  // namespace pelvane::exporter
