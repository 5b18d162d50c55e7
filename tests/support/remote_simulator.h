// The Windows tests' simulator: a Linux kestrum-sim that scripts/windows.sh started on a
// loopback address, driven by @SIM commands over links of its own. It offers what an
// in-process kestrum::sim::Simulator does over a link; through a link, @SIM DROP_LINK and
// the LINK faults reach only that link.
#pragma once

#include <string>
#include <utility>

#include "kestrum.h"

namespace pelvane::testing {

class RemoteSimulator {
  public:
    explicit RemoteSimulator(std::string address) : address_(std::move(address)) {}

    // The in-process simulator's Start and Control are its server's; tests reach both alike.
    RemoteSimulator& server() { return *this; }

    // Switches every fault off; says why it cannot.
    bool Start(std::string* error) {
        const std::string reset = Control("@SIM RESET");
        if (reset == "OK\r\n") return true;
        *error = "no simulator on " + address_ + " (scripts/windows.sh starts them): " + reset;
        return false;
    }

    // What the command printed, on a link opened for it alone, so that no link is left
    // open between commands.
    std::string Control(const std::string& command) {
        KST_HANDLE handle = nullptr;
        const int32_t opened = KST_FastOpen(KST_TYPE_ETHERNET, address_.c_str(), 2000, &handle);
        if (opened != 0) return "cannot link: " + std::to_string(opened);
        char reply[4096];
        KST_Execute(handle, command.c_str(), 5000, reply, sizeof reply);
        KST_Close(handle);
        return reply;
    }

  private:
    std::string address_;
};

}  // namespace pelvane::testing
