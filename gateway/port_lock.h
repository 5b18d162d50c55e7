// One gateway a port: two scanning one line would double its traffic and each other's
// lost frames. The lock is an abstract unix socket named after the interface, so it
// belongs to the network namespace the port is in and goes with the process, however
// that ends.
#pragma once

#include <memory>
#include <string>

namespace kestrum::gateway {

class PortLock {
  public:
    // The lock on interface; none, with a reason naming the holder, when another has it.
    static std::unique_ptr<PortLock> Take(const std::string& interface, std::string* error);
    ~PortLock();
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

  private:
    explicit PortLock(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace kestrum::gateway
