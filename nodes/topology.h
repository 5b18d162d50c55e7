// A bus's tree from the DL status (0110H) of every node, in position order, worked out as a
// master works it out: the frame enters each node at its ESC port 0 and leaves through the
// ports 3, 1, 2 whose loop is open, depth first, so the position order fixes the tree.
//
// Ports are kept as the slave controller numbers them, 0..3. Our texts print them one
// higher: "port 1" is ESC port 0 (300H, 301H; towards the master), "port 2" ESC port 1
// (302H, 303H; the next node on a line), "port 3" ESC port 2 (304H, 305H) and "port 4"
// ESC port 3 (306H, 307H).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pelvane {

// The port number our texts print for an ESC port.
constexpr int PortLabel(int escPort) {
    return escPort + 1;
}

// Positions are 16-bit auto-increment addresses, so no bus holds more nodes.
inline constexpr size_t kMaxTopologyNodes = 65536;

struct TopologyNode {
    std::optional<int32_t> parent;  // none: hangs on the master
    int parentPort = 0;             // the parent's ESC port; 0 for the master's own port
    int ownPort = 0;                // the ESC port the frame enters by: always 0
    // ESC ports with communication and an open loop, in the order the frame leaves by them.
    std::vector<int> openPorts;
    std::array<std::optional<int32_t>, 4> children;  // by ESC port: the node hanging there
    bool assumed = false;  // placed by the line assumption, not by the DL status above it
};

enum class TopologyFault {
    kUnread,       // its DL status was not read: the nodes after it are placed as a line
    kNoOpenPort,   // no open port left above it: more nodes than the DL status allows for
    kDanglingPort  // an open port with communication that no node hangs on
};

struct TopologyProblem {
    int32_t node = 0;
    TopologyFault fault = TopologyFault::kUnread;
    int escPort = 0;  // for kDanglingPort only
};

struct Topology {
    std::vector<TopologyNode> nodes;  // by position
    std::vector<TopologyProblem> problems;
    bool complete = true;  // every node placed from the DL status read
    bool line = true;      // every node hangs on the previous node's ESC port 1
};

// Nodes beyond kMaxTopologyNodes are not taken. Dangling ports are named only when every
// DL status was read: otherwise a node past the gap may hang on them.
Topology ComputeTopology(const std::vector<std::optional<uint16_t>>& dlStatus);

// A port where the frame arrives: a node's ESC port 0 on the way out, or the port it left
// by as it comes back from that branch.
struct PortVisit {
    int32_t node = 0;
    int escPort = 0;
};

// Every arrival of one frame, in order, from Node0's port 0 to its return to the master.
std::vector<PortVisit> ProcessingOrder(const Topology& topology);

// "Node3 port 2 open, but no node on it", with ports as our texts name them.
std::string TopologyProblemText(const TopologyProblem& problem);

}  // namespace pelvane
