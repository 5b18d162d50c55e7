// What a node's processor puts into its mailbox: replies to CoE SDO uploads, mailbox
// errors and emergencies, each a whole message (6-byte mailbox header first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ecat/coe.h"
#include "kestrum_sim/bus.h"

namespace kestrum::sim {

using ecat::kMailboxHeaderBytes;
inline constexpr std::size_t kMailboxCounterByte = 5;  // type in bits 0-3, counter in 4-6

// The reply to a request the node took from SM0 (the whole buffer, at least the header),
// at most sendLength bytes long, or none for a request that wants none (a master's abort).
std::optional<std::vector<uint8_t>> CoeReply(std::span<const uint8_t> request,
                                             const CoeMailbox& box, uint16_t statusWord,
                                             std::size_t sendLength);

// A CoE emergency with that error code.
std::vector<uint8_t> CoeEmergency(uint16_t code);

// An upload response for 1000H:00, as a previous master may have left one in SM1.
std::vector<uint8_t> StaleUploadResponse();

}  // namespace kestrum::sim
