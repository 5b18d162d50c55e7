// The bus as the segment sees it: the line of nodes at a moment and the frame loss.
#include <string>
#include <vector>

#include "sim/src/machine.h"
#include "tests/sim/sim_client.h"

namespace simtest {
namespace {

using kestrum::sim::Machine;

int Printed(Machine& machine, const std::string& command, Clock::time_point now) {
    auto outcome = machine.Execute(command, now);
    EXPECT_EQ(outcome.status, 0) << command << " -> " << outcome.text;
    return std::stoi(outcome.text);
}

TEST(Segment, TheLineEndsAtTheFirstNodeOffAndReadsAsNodeInfoPrints) {
    const auto start = Clock::now();
    Machine machine(LoadBus("demo.json"), start);
    for (const char* command :
         {"@SIM COUNTERS 2 0 10", "@SIM NODE_OFF 5 1000", "@SIM NODE_OFF 7 2000"})
        EXPECT_EQ(machine.Execute(command, start).status, 0) << command;
    EXPECT_EQ(machine.SegmentNodes(start + 500ms).size(), 5u);

    // Node 5 is back, node 7 not yet.
    const auto now = start + 1500ms;
    auto line = machine.SegmentNodes(now);
    ASSERT_EQ(line.size(), 7u);
    EXPECT_EQ(Printed(machine, "?NODE_COUNT(0)", now), 7);
    EXPECT_GT(line[2].counters[0], 0);
    EXPECT_GT(line[6].counters[2], 0);
    for (std::size_t i = 0; i < line.size(); ++i) {
        auto item = [&](int n) {
            return Printed(
                machine, "?NODE_INFO(0," + std::to_string(i) + "," + std::to_string(n) + ")", now);
        };
        const auto& node = line[i];
        EXPECT_EQ(node.device.vendorId, item(0)) << i;
        EXPECT_EQ(node.device.deviceId, item(1)) << i;
        EXPECT_EQ(node.device.switchNo, item(3)) << i;
        EXPECT_EQ(node.device.inputCount, item(10)) << i;
        EXPECT_EQ(node.device.outputCount, item(11)) << i;
        EXPECT_EQ(node.device.adCount, item(12)) << i;
        EXPECT_EQ(node.device.daCount, item(13)) << i;
        for (int reg = 0; reg < 4; ++reg)
            EXPECT_EQ(node.counters[static_cast<std::size_t>(reg)], item(768 + reg)) << i;
        EXPECT_EQ(node.device.axisCount,
                  Printed(machine, "?NODE_AXIS_COUNT(0," + std::to_string(i) + ")", now));
    }
}

class SegmentLoss : public SimTest {
  protected:
    double Loss() {
        return sim_->WithMachine([](Machine& m) { return m.segmentLossPercent(); });
    }
};

TEST_F(SegmentLoss, IsAPercentThatResetClears) {
    auto client = Connect();
    EXPECT_EQ(Loss(), 0.0);
    EXPECT_EQ(client->Text("@SIM SEGMENT_LOSS 12.5"), "OK\r\n");
    EXPECT_EQ(Loss(), 12.5);
    for (const char* bad : {"@SIM SEGMENT_LOSS 100.5", "@SIM SEGMENT_LOSS -1",
                            "@SIM SEGMENT_LOSS x", "@SIM SEGMENT_LOSS", "@SIM SEGMENT_LOSS 1 2"})
        EXPECT_EQ(client->Call(bad).status, 2002) << bad;
    EXPECT_EQ(Loss(), 12.5);
    EXPECT_EQ(client->Text("@SIM SEGMENT_LOSS 100"), "OK\r\n");
    EXPECT_EQ(Loss(), 100.0);
    client->Text("@SIM RESET");
    EXPECT_EQ(Loss(), 0.0);
}

}  // namespace
}  // namespace simtest
