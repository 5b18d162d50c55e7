// The drives' status words through the gateway: SDO round trips, the window's poll of 50
// drives, and the mailbox frames a steady poll costs the line.
#pragma once

#include <string>

namespace pelvane::bench {

struct MailboxSettings {
    std::string segmentInterface, masterInterface;
    const char* simAddress = nullptr;
    const char* gatewayAddress = nullptr;
    int drives = 50;
    int roundTrips = 500;
    int polls = 100;
};

// 0 when every figure was taken.
int TimeMailboxes(const MailboxSettings& settings);

}  // namespace pelvane::bench
