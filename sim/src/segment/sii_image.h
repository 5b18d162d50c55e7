// The SII image a node's EEPROM holds: identity, PDOs that count back as the node's I/O,
// and what a bus file asks to make it large or broken.
#pragma once

#include <cstdint>
#include <vector>

#include "ecat/sii.h"
#include "kestrum_sim/bus.h"

namespace kestrum::sim {

// The standard mailbox the SII of a node with CoE names.
inline constexpr ecat::MailboxWords kCoeMailbox{.receiveStart = 0x1000,
                                                         .receiveLength = 128,
                                                         .sendStart = 0x1080,
                                                         .sendLength = 128,
                                                         .protocols = ecat::kMailboxCoe};

// Whole words, at most the EEPROM's size (word 003EH), which never exceeds the image's
// own needs by more than esc.eepromKbit asks.
std::vector<uint8_t> SiiImageOf(const Node& device);

}  // namespace kestrum::sim
