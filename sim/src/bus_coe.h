// A node's CoE objects and mailbox keys in a bus file.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "kestrum_sim/bus.h"

namespace kestrum::sim {

// "coe" and the "mailbox..." keys.
bool IsMailboxKey(std::string_view key);

// Reads those keys of the node object j into node.coe; the reason, naming the place
// ("nodes[2].coe[1].bytes: must be 1, 2 or 4"), for the first bad one.
std::optional<std::string> ReadNodeMailbox(const nlohmann::json& j, const std::string& where,
                                           Node& node);

}  // namespace kestrum::sim
