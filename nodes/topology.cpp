#include "nodes/topology.h"

#include <algorithm>
#include <utility>

#include "kestrum/language/dl_status.h"
#include "nodes/node_cells.h"

namespace pelvane {

namespace {

std::vector<int> OpenPorts(uint16_t dlStatus) {
    std::vector<int> ports;
    for (const int port : kestrum::language::kPortLeaveOrder)
        if (kestrum::language::DlPortOpen(dlStatus, port)) ports.push_back(port);
    return ports;
}

// Hangs node on the open port taken last, or, with none to trust, on the previous node as
// on a line.
void Place(Topology& topology, std::vector<PortVisit>& open, int32_t node, bool lost) {
    TopologyNode& placed = topology.nodes[static_cast<size_t>(node)];
    PortVisit parent{node - 1, 1};
    if (!lost && !open.empty()) {
        parent = open.back();
        open.pop_back();
    } else {
        if (!lost) topology.problems.push_back({node, TopologyFault::kNoOpenPort});
        placed.assumed = true;
        topology.complete = false;
    }
    placed.parent = parent.node;
    placed.parentPort = parent.escPort;
    topology.nodes[static_cast<size_t>(parent.node)].children[static_cast<size_t>(parent.escPort)] =
        node;
    if (parent.node != node - 1 || parent.escPort != 1) topology.line = false;
}

}  // namespace

Topology ComputeTopology(const std::vector<std::optional<uint16_t>>& dlStatus) {
    Topology topology;
    const size_t count = std::min(dlStatus.size(), kMaxTopologyNodes);
    topology.nodes.resize(count);
    std::vector<PortVisit> open;  // ports no node hangs on yet; the next one last
    bool lost = false;            // a DL status is missing: open no longer holds
    for (size_t i = 0; i < count; ++i) {
        const auto node = static_cast<int32_t>(i);
        if (node > 0) Place(topology, open, node, lost);
        if (!dlStatus[i]) {
            topology.problems.push_back({node, TopologyFault::kUnread});
            topology.complete = false;
            lost = true;
            continue;
        }
        std::vector<int>& ports = topology.nodes[i].openPorts;
        ports = OpenPorts(*dlStatus[i]);
        for (auto port = ports.rbegin(); port != ports.rend(); ++port)
            open.push_back({node, *port});
    }
    if (!lost)
        for (auto port = open.rbegin(); port != open.rend(); ++port)
            topology.problems.push_back({port->node, TopologyFault::kDanglingPort, port->escPort});
    return topology;
}

std::vector<PortVisit> ProcessingOrder(const Topology& topology) {
    std::vector<PortVisit> order;
    if (topology.nodes.empty()) return order;
    // Each node on the way down, with how many of its ports the frame has left by.
    std::vector<std::pair<int32_t, size_t>> path{{0, 0}};
    order.push_back({0, 0});
    while (!path.empty()) {
        auto& [at, left] = path.back();
        const TopologyNode& node = topology.nodes[static_cast<size_t>(at)];
        if (left == kestrum::language::kPortLeaveOrder.size()) {
            if (node.parent) order.push_back({*node.parent, node.parentPort});
            path.pop_back();
            continue;
        }
        const int port = kestrum::language::kPortLeaveOrder[left++];
        if (const auto child = node.children[static_cast<size_t>(port)]) {
            order.push_back({*child, 0});
            path.push_back({*child, 0});
        } else if (std::ranges::find(node.openPorts, port) != node.openPorts.end()) {
            order.push_back({at, port});  // out and straight back: nothing of ours behind it
        }
    }
    return order;
}

std::string TopologyProblemText(const TopologyProblem& problem) {
    const std::string node = FormatNodeLabel(problem.node);
    switch (problem.fault) {
        case TopologyFault::kUnread:
            return node + " DL status not read: the rest placed as a line";
        case TopologyFault::kNoOpenPort:
            return node + " has no open port above it: more nodes than the DL status allows";
        case TopologyFault::kDanglingPort:
            return node + " port " + std::to_string(PortLabel(problem.escPort)) +
                   " open, but no node on it";
    }
    return node;
}

}  // namespace pelvane
