// The bus as the segment sees it: the line of nodes at a moment and the frame loss.
#include <string>
#include <vector>

#include "tests/sim/sim_client.h"
#include "tests/sim/unserved.h"

namespace kestrum::sim::testing {
namespace {

int Printed(Unserved& sim, const std::string& command, Clock::time_point now) {
    auto outcome = sim.Run(command, now);
    EXPECT_EQ(outcome.status, 0) << command << " -> " << outcome.text;
    return std::stoi(outcome.text);
}

TEST(Segment, TheLineEndsAtTheFirstNodeOffAndReadsAsNodeInfoPrints) {
    const auto start = Clock::now();
    Unserved sim(LoadBus("demo.json"), start);
    for (const char* command :
         {"@SIM COUNTERS 2 0 10", "@SIM NODE_OFF 5 1000", "@SIM NODE_OFF 7 2000"})
        EXPECT_EQ(sim.Run(command, start).status, 0) << command;
    EXPECT_EQ(sim.Line(start + 500ms).nodes.size(), 5u);

    // Node 5 is back, node 7 not yet.
    const auto now = start + 1500ms;
    auto line = sim.Line(now).nodes;
    ASSERT_EQ(line.size(), 7u);
    EXPECT_EQ(Printed(sim, "?NODE_COUNT(0)", now), 7);
    EXPECT_GT(line[2].counters[0], 0);
    EXPECT_GT(line[6].counters[2], 0);
    for (std::size_t i = 0; i < line.size(); ++i) {
        auto item = [&](int n) {
            return Printed(sim, "?NODE_INFO(0," + std::to_string(i) + "," + std::to_string(n) + ")",
                           now);
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
                  Printed(sim, "?NODE_AXIS_COUNT(0," + std::to_string(i) + ")", now));
    }
}

class SegmentLoss : public SimTest {
  protected:
    double Loss() {
        return sim_->WithModel(
            [](kestrum::sim::SimModel& m) { return m.Line(Clock::now()).lossPercent; });
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

TEST(SegmentCommands, SetLossByWayDelayAndAUnicastMasterAndResetClearsThem) {
    using kestrum::sim::LossWay;
    const auto now = Clock::now();
    Unserved sim(LoadBus("demo.json"), now);
    const auto line = [&] { return sim.Line(now); };
    for (const char* command :
         {"@SIM SEGMENT_LOSS 20 back", "@SIM SEGMENT_DELAY 25 30", "@SIM SEGMENT_MASTER 1 unicast"})
        EXPECT_EQ(sim.Run(command, now).status, 0) << command;
    EXPECT_EQ(line().lossPercent, 20.0);
    EXPECT_EQ(line().lossWay, LossWay::kBack);
    EXPECT_EQ(line().delayMs, 25);
    EXPECT_EQ(line().delayPercent, 30.0);
    EXPECT_TRUE(line().secondMaster && line().secondMasterUnicast);
    for (const char* bad :
         {"@SIM SEGMENT_LOSS 5 sideways", "@SIM SEGMENT_LOSS 5 out back", "@SIM SEGMENT_DELAY -1",
          "@SIM SEGMENT_DELAY 10001", "@SIM SEGMENT_DELAY 5 101", "@SIM SEGMENT_DELAY",
          "@SIM SEGMENT_MASTER 0 unicast", "@SIM SEGMENT_MASTER 1 multicast"})
        EXPECT_EQ(sim.Run(bad, now).status, 2002) << bad;
    EXPECT_EQ(line().lossWay, LossWay::kBack);
    EXPECT_EQ(line().delayMs, 25);
    EXPECT_EQ(sim.Run("@SIM SEGMENT_LOSS 3 out", now).status, 0);
    EXPECT_EQ(line().lossWay, LossWay::kOut);
    EXPECT_EQ(sim.Run("@SIM SEGMENT_DELAY 40", now).status, 0);
    EXPECT_EQ(line().delayPercent, 100.0);
    EXPECT_EQ(sim.Run("@SIM SEGMENT_MASTER 1", now).status, 0);
    EXPECT_FALSE(line().secondMasterUnicast);

    sim.Run("@SIM SEGMENT_MASTER 1 unicast", now);
    sim.Run("@SIM RESET", now);
    EXPECT_EQ(line().lossWay, LossWay::kBoth);
    EXPECT_EQ(line().delayMs, 0);
    EXPECT_EQ(line().delayPercent, 100.0);
    EXPECT_FALSE(line().secondMaster || line().secondMasterUnicast);
}

TEST(SegmentCommands, AlSetsStateCodeAndMarkAndSetChangesRevisionAndSerial) {
    const auto now = Clock::now();
    Unserved sim(LoadBus("demo.json"), now);
    const auto node = [&](std::size_t k) { return sim.Line(now).nodes[k].device; };
    EXPECT_EQ(sim.Run("@SIM AL 1 OP 0x001B", now).status, 0);
    EXPECT_EQ(node(1).alState, 8);
    EXPECT_EQ(node(1).alStatusCode, 0x1B);
    EXPECT_FALSE(node(1).alError || node(1).alDeviceId);
    EXPECT_EQ(sim.Run("@SIM AL 1 SAFEOP 0x1B err", now).status, 0);
    EXPECT_TRUE(node(1).alError && !node(1).alDeviceId);
    EXPECT_EQ(sim.Run("@SIM AL 1 PREOP 0 id", now).status, 0);
    EXPECT_TRUE(node(1).alDeviceId && !node(1).alError);
    EXPECT_EQ(node(1).alState, 2);
    for (const char* bad : {"@SIM AL 8 OP 0", "@SIM AL 1 RUN 0", "@SIM AL 1 OP 0x10000",
                            "@SIM AL 1 OP -1", "@SIM AL 1 OP 0 ack", "@SIM AL 1 OP"})
        EXPECT_EQ(sim.Run(bad, now).status, 2002) << bad;
    EXPECT_EQ(node(1).alState, 2);

    EXPECT_EQ(node(3).revision, 0);
    // ?NODE_INFO answers a revision only once the bus file or a SET gave one.
    EXPECT_EQ(sim.Run("?NODE_INFO(0,3,2)", now).text, "Error 2002: no such item\r\n");
    EXPECT_EQ(sim.Run("@SIM SET 3 revision 0x00120000", now).status, 0);
    EXPECT_EQ(sim.Run("?NODE_INFO(0,3,2)", now).text, "1179648\r\n");
    EXPECT_EQ(sim.Run("@SIM SET 3 serial 4711", now).status, 0);
    EXPECT_EQ(sim.Run("@SIM SET 3 alDeviceId 1", now).status, 0);
    EXPECT_EQ(node(3).revision, 0x120000);
    EXPECT_EQ(node(3).serial, 4711);
    EXPECT_TRUE(node(3).alDeviceId);
}

TEST(SegmentCommands, BusFileFieldsShapeTheEepromAndIdentity) {
    std::string error;
    auto bus = kestrum::sim::ParseBus(
        R"({"nodes": [{"revision": 7, "serial": "0x1234", "alDeviceId": true,
            "esc": {"eepromKbit": 32, "siiPdoWords": 400, "siiCategorySize": "0x7000"}}]})",
        &error);
    ASSERT_TRUE(bus) << error;
    const auto& node = bus->nodes[0];
    EXPECT_EQ(node.revision, 7);
    EXPECT_TRUE(node.revisionGiven);
    EXPECT_EQ(node.serial, 0x1234);
    EXPECT_TRUE(node.alDeviceId);
    EXPECT_EQ(node.esc.eepromKbit, 32);
    EXPECT_EQ(node.esc.siiPdoWords, 400);
    EXPECT_EQ(node.esc.siiCategorySize, 0x7000);
    for (const char* bad : {R"({"nodes": [{"esc": {"eepromKbit": 0}}]})",
                            R"({"nodes": [{"esc": {"eepromKbit": 65537}}]})",
                            R"({"nodes": [{"esc": {"siiPdoWords": 16385}}]})",
                            R"({"nodes": [{"esc": {"siiCategorySize": "0x10000"}}]})",
                            R"({"nodes": [{"alDeviceId": 2}]})"}) {
        EXPECT_FALSE(kestrum::sim::ParseBus(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace kestrum::sim::testing
