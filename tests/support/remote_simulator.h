// The Windows tests' simulator: a Linux kestrum-sim that scripts/windows.sh started on a
// loopback address, driven by @SIM commands over a link of its own. It offers what an
// in-process kestrum::sim::Simulator does over the link; through a link, @SIM DROP_LINK and
// the LINK faults reach only that link.
#pragma once

#include <string>
#include <utility>

#include "kestrum.h"

namespace pelvane::testing {

class RemoteSimulator {
  public:
    explicit RemoteSimulator(std::string address) : address_(std::move(address)) {}
    ~RemoteSimulator() {
        if (handle_ != nullptr) KST_Close(handle_);
    }
    RemoteSimulator(const RemoteSimulator&) = delete;
    RemoteSimulator& operator=(const RemoteSimulator&) = delete;

    // Links to it and switches every fault off; says why it cannot.
    bool Start(std::string* error) {
        if (KST_FastOpen(KST_TYPE_ETHERNET, address_.c_str(), 2000, &handle_) != 0) {
            handle_ = nullptr;
            *error = "no simulator on " + address_ + " (scripts/windows.sh starts them)";
            return false;
        }
        const std::string reset = Control("@SIM RESET");
        if (reset == "OK\r\n") return true;
        *error = "@SIM RESET on " + address_ + ": " + reset;
        return false;
    }

    // What the command printed.
    std::string Control(const std::string& command) {
        char reply[4096];
        KST_Execute(handle_, command.c_str(), 5000, reply, sizeof reply);
        return reply;
    }

  private:
    std::string address_;
    KST_HANDLE handle_ = nullptr;
};

}  // namespace pelvane::testing
