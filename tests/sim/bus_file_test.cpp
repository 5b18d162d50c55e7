// Bus files: the shipped ones load and serve, broken ones are refused with a reason
// that points at the problem.
#include <set>
#include <string>

#include "sim_client.h"

namespace simtest {
namespace {

using kestrum::sim::ParseBus;

TEST(BusFile, DemoBusHasTheMixTheViewsNeed) {
    auto bus = LoadBus("demo.json");
    ASSERT_GE(bus.nodes.size(), 6u);
    std::set<int32_t> driveVendors;
    bool unknownVendor = false, analog = false, digital = false, flaky = false;
    for (const auto& n : bus.nodes) {
        if (n.axisCount > 0) driveVendors.insert(n.vendorId);
        unknownVendor |= n.vendorId == 0x2;
        analog |= n.adCount > 0 && n.daCount > 0;
        digital |= n.inputCount > 0 && n.outputCount > 0 && n.axisCount == 0;
        flaky |= n.counterRate[0] > 0 || n.counterRate[1] > 0;
    }
    EXPECT_GE(driveVendors.size(), 3u);
    EXPECT_TRUE(driveVendors.count(0x41B));
    EXPECT_TRUE(unknownVendor && analog && digital && flaky);
}

class LargeBus : public SimTest {
  protected:
    void SetUp() override { Serve(LoadBus("large.json")); }
};

TEST_F(LargeBus, ServesTwoHundredNodes) {
    auto client = Connect();
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "200\r\n");
    EXPECT_EQ(client->Call("?NODE_INFO(0,199,1)").status, 0);
    EXPECT_EQ(client->Call("?NODE_INFO(0,200,1)").status, 2003);
    // Node 128 is the last one a client reads the status word of.
    EXPECT_EQ(client->Call("SDO_READ(0,128,24641,0,7,0)").status, 0);
}

TEST(BusFile, ValuesAndDefaults) {
    std::string error;
    auto bus = ParseBus(R"({
        "comment": "x",
        "controller": {"model": "KSM4", "versionDate": "20250101", "serialNumber": "7"},
        "lostCount": 5, "lostRate": 0.5, "latencyMs": 2,
        "nodes": [
            {"vendorId": "0x41B", "deviceId": "0xFFFFFFF", "statusWord": "-1", "switchNo": 2147483647,
             "errorCounters": [1, 2, 3, -4], "counterRate": [0.25, 0]},
            {}
        ]})",
                        &error);
    ASSERT_TRUE(bus) << error;
    EXPECT_EQ(bus->model, "KSM4");
    EXPECT_EQ(bus->serialNumber, "7");
    EXPECT_EQ(bus->lostCount, 5);
    EXPECT_EQ(bus->latencyMs, 2);
    ASSERT_EQ(bus->nodes.size(), 2u);
    EXPECT_EQ(bus->nodes[0].vendorId, 0x41B);
    EXPECT_EQ(bus->nodes[0].deviceId, 0xFFFFFFF);
    EXPECT_EQ(bus->nodes[0].statusWord, -1);
    EXPECT_EQ(bus->nodes[0].switchNo, 2147483647);
    EXPECT_EQ(bus->nodes[0].errorCounters[3], -4);
    EXPECT_EQ(bus->nodes[0].counterRate[0], 0.25);
    EXPECT_EQ(bus->nodes[1].axisCount, 0);
    EXPECT_EQ(bus->nodes[1].vendorId, 0);
}

TEST(BusFile, BrokenFilesAreRefusedWithAReason) {
    struct Case {
        const char* json;
        const char* reasonHas;  // the reason names the place
    };
    const Case cases[] = {
        {"", "JSON"},
        {R"({"nodes": [)", "JSON"},
        {"[]", "bus"},
        {R"({"controller": {}})", "nodes"},
        {R"({"nodes": {}})", "nodes"},
        {R"({"nodes": [], "extra": 1})", "extra"},
        {R"({"nodes": [{"vendorID": 1}]})", "nodes[0].vendorID"},
        {R"({"nodes": [{}, {"vendorId": "0xZZ"}]})", "nodes[1].vendorId"},
        {R"({"nodes": [{"vendorId": "41B"}]})", "vendorId"},
        {R"({"nodes": [{"vendorId": 4294967296}]})", "vendorId"},
        {R"({"nodes": [{"vendorId": "0x100000000"}]})", "vendorId"},
        {R"({"nodes": [{"deviceId": 1.5}]})", "deviceId"},
        {R"({"nodes": [{"axisCount": -1}]})", "nodes[0]"},
        {R"({"nodes": [{"errorCounters": [1, 2, 3]}]})", "errorCounters"},
        {R"({"nodes": [{"counterRate": [0, -1]}]})", "counterRate[1]"},
        {R"({"nodes": [{"counterRate": [0, "fast"]}]})", "counterRate[1]"},
        {R"({"nodes": [], "controller": {"model": "KSM 464"}})", "controller.model"},
        {R"({"nodes": [], "controller": {"model": ""}})", "controller.model"},
        {R"({"nodes": [], "latencyMs": -1})", "latencyMs"},
        {R"({"nodes": [], "lostRate": 1e300})", "lostRate"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseBus(c.json, &error)) << c.json;
        EXPECT_NE(error.find(c.reasonHas), std::string::npos) << c.json << " -> " << error;
    }
    std::string error;
    EXPECT_FALSE(kestrum::sim::LoadBusFile(BusFile("no-such-bus.json"), &error));
    EXPECT_NE(error.find("no-such-bus.json"), std::string::npos) << error;
}

TEST(BusFile, TooManyNodesAreRefused) {
    std::string json = R"({"nodes": [)";
    for (int i = 0; i < 1025; ++i) json += i ? ",{}" : "{}";
    json += "]}";
    std::string error;
    EXPECT_FALSE(ParseBus(json, &error));
    EXPECT_NE(error.find("1024"), std::string::npos) << error;
}

}  // namespace
}  // namespace simtest
