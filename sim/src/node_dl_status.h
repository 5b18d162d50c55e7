// A node's DL status (110H) as its ports' links make it.
#pragma once

#include <array>
#include <cstdint>

#include "kestrum_sim/bus.h"

namespace kestrum::sim {

// Port 0 faces the master; each other port has a link and an open loop when a node hangs
// on it, else its loop is closed.
uint16_t DlStatus(const Node& node, const std::array<bool, 4>& linked);
// On a plain line: port 1 leads to the next node when one follows.
uint16_t LineDlStatus(const Node& node, bool followed);

}  // namespace kestrum::sim
