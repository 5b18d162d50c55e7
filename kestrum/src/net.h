// Socket helpers with deadlines; every wait goes through poll so that no call
// can block longer than its caller's time-out.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>

namespace kestrum::net {

using Clock = std::chrono::steady_clock;

class Deadline {
  public:
    explicit Deadline(uint32_t timeoutMs)
        : end_(Clock::now() + std::chrono::milliseconds(timeoutMs)) {}
    // Milliseconds left for poll, rounded up so that we never wake just before the end.
    int RemainingMs() const;
    bool Passed() const { return Clock::now() >= end_; }

  private:
    Clock::time_point end_;
};

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = other.Release();
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset();

  private:
    int fd_ = -1;
};

enum class WaitResult { kReady, kTimeout, kError };

// Waits for events on fd until the deadline; retries on EINTR.
WaitResult WaitFor(int fd, short events, const Deadline& deadline);

// Non-blocking TCP connect with TCP_NODELAY. On failure returns an invalid fd
// and one of the KST_ERR_ codes in status.
UniqueFd ConnectWithin(const in_addr& address, uint16_t port, uint32_t timeoutMs, int32_t& status);

}  // namespace kestrum::net
