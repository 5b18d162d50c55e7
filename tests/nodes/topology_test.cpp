// The bus's tree from every node's DL status, without a controller.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "nodes/topology.h"

namespace pelvane {
namespace {

// A node's DL status with port 0 linked upstream: open ports have communication and an
// open loop, closed ones a link and communication but a closed loop.
std::optional<uint16_t> Dl(std::initializer_list<int> open,
                           std::initializer_list<int> closed = {}) {
    unsigned dl = 0x0001 | 0x0010 | 0x0200;
    for (const int p : open) dl |= (1u << (4 + p)) | (1u << (9 + 2 * p));
    for (const int p : closed) dl |= (1u << (4 + p)) | (3u << (8 + 2 * p));
    return static_cast<uint16_t>(dl);
}

template <typename T, typename Text>
std::string Join(const std::vector<T>& items, const char* separator, Text text) {
    std::string joined;
    for (const T& item : items) joined += (joined.empty() ? "" : separator) + text(item);
    return joined;
}

// "M", "0:1" or "2:1?": the parent and its ESC port, ? where only the line assumption
// placed the node.
std::string Hanging(const TopologyNode& node) {
    return (node.parent ? std::to_string(*node.parent) + ":" + std::to_string(node.parentPort)
                        : "M") +
           (node.assumed ? "?" : "");
}

std::string Arrival(const PortVisit& v) {
    return std::to_string(v.node) + "." + std::to_string(v.escPort);
}

// A bus's DL statuses by position: Dl() values, std::nullopt or raw values.
template <typename... Statuses>
std::vector<std::optional<uint16_t>> Bus(Statuses... statuses) {
    return {std::optional<uint16_t>(statuses)...};
}

TEST(Topology, HangsEachNodeOnTheNextOpenPortDepthFirst) {
    struct Case {
        std::vector<std::optional<uint16_t>> dl;
        const char* tree;
        bool line, complete;
        const char* order;  // node.port where the frame arrives
        const char* problems;
    };
    const Case cases[] = {
        {Bus(Dl({1}), Dl({1}), Dl({1}), Dl({})), "M 0:1 1:1 2:1", true, true,
         "0.0 1.0 2.0 3.0 2.1 1.1 0.1", ""},
        // A coupler's port 3 branch ends at node 3, so node 4 takes its port 1.
        {Bus(Dl({1}), Dl({3, 1}), Dl({1}), Dl({}), Dl({})), "M 0:1 1:3 2:1 1:1", false, true,
         "0.0 1.0 2.0 3.0 2.1 1.3 4.0 1.1 0.1", ""},
        // A junction: ports 3 and 1 take two drives each, port 2 one more.
        {Bus(Dl({1}), Dl({1, 2, 3}), Dl({1}), Dl({}), Dl({1}), Dl({}), Dl({})),
         "M 0:1 1:3 2:1 1:1 4:1 1:2", false, true,
         "0.0 1.0 2.0 3.0 2.1 1.3 4.0 5.0 4.1 1.1 6.0 1.2 0.1", ""},
        // Communication behind a closed loop leads nowhere.
        {Bus(Dl({1}), Dl({1}, {3}), Dl({}, {1})), "M 0:1 1:1", true, true, "0.0 1.0 2.0 1.1 0.1",
         ""},
        {Bus(Dl({1}), Dl({1})), "M 0:1", true, true, "0.0 1.0 1.1 0.1",
         "Node1 port 2 open, but no node on it"},
        {Bus(Dl({1}), Dl({}), Dl({1}), Dl({})), "M 0:1 1:1? 2:1", true, false,
         "0.0 1.0 2.0 3.0 2.1 1.1 0.1",
         "Node2 has no open port above it: more nodes than the DL status allows"},
        // Node 2 still hangs where the statuses above put it; past it, only a line is left.
        {Bus(Dl({1}), Dl({3, 1}), std::nullopt, Dl({}), Dl({})), "M 0:1 1:3 2:1? 3:1?", false,
         false, "0.0 1.0 2.0 3.0 4.0 3.1 2.1 1.3 1.1 0.1",
         "Node2 DL status not read: the rest placed as a line"},
        // Raw values: every loop closed, then communication on every port.
        {Bus(uint16_t{0xFFFF}, uint16_t{0xAAAA}), "M 0:1?", true, false, "0.0 1.0 1.3 1.1 1.2 0.1",
         "Node1 has no open port above it: more nodes than the DL status allows; Node1 port 4 "
         "open, but no node on it; Node1 port 2 open, but no node on it; Node1 port 3 open, "
         "but no node on it"},
        {Bus(), "", true, true, "", ""},
    };
    for (const Case& c : cases) {
        const Topology topology = ComputeTopology(c.dl);
        EXPECT_EQ(Join(topology.nodes, " ", Hanging), c.tree);
        EXPECT_EQ(topology.line, c.line) << c.tree;
        EXPECT_EQ(topology.complete, c.complete) << c.tree;
        EXPECT_EQ(Join(ProcessingOrder(topology), " ", Arrival), c.order) << c.tree;
        EXPECT_EQ(Join(topology.problems, "; ", TopologyProblemText), c.problems) << c.tree;
    }
}

}  // namespace
}  // namespace pelvane
