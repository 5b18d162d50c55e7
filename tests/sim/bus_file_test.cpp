// Bus files: the shipped ones load and serve, broken ones are refused with a reason
// that points at the problem.
#include <string>

#include "tests/sim/sim_client.h"
#include "tests/sim/unserved.h"

namespace kestrum::sim::testing {
namespace {

using kestrum::sim::ParseBus;

// demo.json is loaded by every other simulator test; the commands' tests check its nodes.
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

class ParsedBus : public SimTest {
  protected:
    void SetUp() override {}
};

TEST_F(ParsedBus, ValuesAndDefaultsAreServedAndRatesRunFromTheStart) {
    std::string error;
    auto bus = ParseBus(R"({"controller": {"model": "KSM4", "serialNumber": "7"}, "lostCount": 5,
        "latencyMs": 2, "nodes": [{"vendorId": "0x41B", "deviceId": "0xFFFFFFF",
        "statusWord": "-1", "errorCounters": [1, 2, 3, -4], "counterRate": [0, 500],
        "errorCounters23": [5, 6, 7, 8], "forwardedErrors": [0, 0, 0, "0xFF"], "puErrors": 1,
        "pdiErrors": 2, "lostLinks": [3, 0, 0, 4]}, {}]})",
                        &error);
    ASSERT_TRUE(bus) << error;
    EXPECT_EQ(bus->lostCount, 5);
    EXPECT_EQ(bus->latencyMs, 2);
    ASSERT_EQ(bus->nodes.size(), 2u);
    EXPECT_EQ(bus->nodes[0].statusWord, -1);
    EXPECT_EQ(bus->nodes[1].axisCount, 0);
    Serve(*bus);
    auto client = Connect();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(client->Text("?CONTROL"), "KSM4\r\n");
    EXPECT_EQ(client->Text("?SERIAL_NUMBER"), "7\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,0,0)"), "1051\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,0,1)"), "268435455\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,1,0)"), "0\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,0,769)"), "2\r\n");
    EXPECT_GE(std::stoi(client->Text("?NODE_INFO(0,0,770)")), 3 + 25);
    EXPECT_GE(std::stoi(client->Text("?NODE_INFO(0,0,771)")), -4 + 25);
    EXPECT_EQ(client->Text("?NODE_REGS(0,0,772,16)"), "5 6 7 8 0 0 0 255 1 2 0 0 3 0 0 4\r\n");
    EXPECT_EQ(client->Text("?NODE_REGS(0,1,768,20)"),
              "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n");
}

// Each port with a node behind it has its link and an open loop; the others a closed loop.
TEST(BusFile, TreesGiveEachNodeTheDlStatusOfItsPorts) {
    std::string error;
    const auto bus = kestrum::sim::LoadBusFile(BusFile("plant.json"), &error);
    ASSERT_TRUE(bus) << error;
    const auto now = kestrum::sim::Clock::now();
    Unserved sim(*bus, now);
    const std::pair<const char*, const char*> cases[] = {
        {"?NODE_REGS(0,1,272,2)", "49 90\r\n"},    // on a line: ports 0 and 1
        {"?NODE_REGS(0,2,272,2)", "177 154\r\n"},  // the coupler: ports 0, 1 and 3
        {"?NODE_REGS(0,6,272,2)", "17 86\r\n"},    // its last terminal: port 1 closed
        {"?NODE_REGS(0,8,272,2)", "241 170\r\n"},  // the junction: every port
        {"?NODE_REGS(0,19,272,2)", "17 86\r\n"},   // the end of branch C
    };
    for (const auto& [command, reply] : cases)
        EXPECT_EQ(sim.Run(command, now).text, reply) << command;
    // The junction's branches B and C gone: their ports close.
    EXPECT_EQ(sim.Run("@SIM NODE_OFF 12 60000", now).status, 0);
    EXPECT_EQ(sim.Run("?NODE_REGS(0,8,272,2)", now).text, "145 150\r\n");
}

// A fault put on one edge of the tree moves the counters a verdict reads back from it.
TEST(BusFile, TreeFaultsMoveTheCountersAroundThem) {
    std::string error;
    const auto bus = kestrum::sim::LoadBusFile(BusFile("plant.json"), &error);
    ASSERT_TRUE(bus) << error;
    const auto start = kestrum::sim::Clock::now();
    Unserved sim(*bus, start);
    for (const char* fault : {"@SIM CABLE 9 2", "@SIM PU_ERRORS 5 1", "@SIM LINK_FLAP 8 4 3"})
        ASSERT_EQ(sim.Run(fault, start).text, "OK\r\n") << fault;
    const auto later = start + std::chrono::seconds(10);
    const std::pair<const char*, const char*> cases[] = {
        {"?NODE_REGS(0,9,768,2)", "20 20"},  // the cable's child, port 1
        {"?NODE_REGS(0,8,774,2)", "20 20"},  // its parent, the junction's port 4
        {"?NODE_INFO(0,9,780)", "20"},       // the child's processing unit saw them too
        {"?NODE_REGS(0,10,776,1)", "20"},    // forwarded after it, not invalid
        {"?NODE_REGS(0,10,768,1)", "0"},    {"?NODE_REGS(0,19,776,1)", "20"},
        {"?NODE_REGS(0,8,776,1)", "0"},  // before it
        {"?NODE_INFO(0,5,780)", "10"},   // a node's own errors
        {"?NODE_INFO(0,8,787)", "3"},    // the flapping port and the other end of its cable
        {"?NODE_INFO(0,9,784)", "3"},
    };
    for (const auto& [command, reply] : cases)
        EXPECT_EQ(sim.Run(command, later).text, std::string(reply) + "\r\n") << command;
    EXPECT_NE(sim.Run("?*ETHERCAT", later).text.find("Lostcount:3."), std::string::npos);
    // Mended, the counters keep what they counted; 8-bit ones stop at FFH.
    ASSERT_EQ(sim.Run("@SIM CABLE 9 0", later).status, 0);
    EXPECT_EQ(sim.Run("?NODE_INFO(0,9,780)", later + std::chrono::hours(1)).text, "20\r\n");
    EXPECT_EQ(sim.Run("?NODE_INFO(0,5,780)", later + std::chrono::hours(1)).text, "255\r\n");
    EXPECT_EQ(sim.Run("@SIM LINK_FLAP 8 5 1", later).status, 2002);
}

TEST(BusFile, BrokenFilesAreRefusedWithAReason) {
    std::string tooMany = R"({"nodes": [{})";
    for (int i = 1; i < 1025; ++i) tooMany += ",{}";
    tooMany += "]}";
    // The reason names the place.
    const std::pair<std::string, const char*> cases[] = {
        {R"({"nodes": [)", "JSON"},
        {R"({"controller": {}})", "nodes"},
        {R"({"nodes": [], "extra": 1})", "extra"},
        {R"({"nodes": [{}, {"vendorId": "0xZZ"}]})", "nodes[1].vendorId"},
        // A second sign would let the magnitude of INT64_MIN through to a negation.
        {R"({"nodes": [{"deviceId": "--9223372036854775808"}]})", "deviceId"},
        {R"({"nodes": [{"deviceId": "0x-7"}]})", "deviceId"},
        {R"({"nodes": [{"vendorId": 4294967296}]})", "vendorId"},
        {R"({"nodes": [{"counterRate": [0, -1]}]})", "counterRate[1]"},
        {R"({"nodes": [], "controller": {"model": "KSM 464"}})", "controller.model"},
        {R"({"nodes": [{"esc": {"eepromReadBytes": 6}}]})", "nodes[0].esc.eepromReadBytes"},
        {R"({"nodes": [{"esc": {"eepromBusyMs": 1001}}]})", "esc.eepromBusyMs: must be 0 to 1000"},
        {R"({"nodes": [{"esc": {"eepromNotLoaded": "yes"}}]})", "esc.eepromNotLoaded"},
        {R"({"nodes": [{"esc": {"eepromEmulated": [true]}}]})", "esc.eepromEmulated"},
        {R"({"nodes": [{"esc": {"busyMs": 1}}]})", "nodes[0].esc.busyMs: unknown key"},
        {R"({"nodes": [{"alState": "RUN"}]})", "nodes[0].alState"},
        {R"({"nodes": [{"alStatusCode": "0x10000"}]})", "alStatusCode"},
        {R"({"nodes": [{"lostLinks": [0, 0, 0, 256]}]})",
         "nodes[0].lostLinks[3]: must be 0 to 255"},
        {R"({"nodes": [{"forwardedErrors": [1]}]})", "forwardedErrors: expected 4 integers"},
        {R"({"nodes": [{"pdiErrors": -1}]})", "nodes[0].pdiErrors: must be 0 to 255"},
        {R"({"nodes": [{"upstream": {"node": 0, "port": 2}}]})", "nodes[0].upstream"},
        {R"({"nodes": [{}, {"upstream": {"node": 0, "port": 1}}]})", "port: must be 2 to 4"},
        {R"({"nodes": [{}, {"upstream": {"node": 1, "port": 2}}]})", "a node before this one"},
        {R"({"nodes": [{}, {}, {"upstream": {"node": 0, "port": 2}}]})", "another node hangs"},
        // Port 4 comes before port 2 on the frame's way.
        {R"({"nodes": [{}, {}, {"upstream": {"node": 0, "port": 4}}]})",
         "nodes[1].upstream: a frame reaches this node out of turn"},
        {R"({"nodes": [{"coe": [{"index": 1, "subindex": 0, "bytes": 3, "value": 1}]}]})",
         "nodes[0].coe[0].bytes: must be 1, 2 or 4"},
        {R"({"nodes": [{"coe": [{"index": 1, "subindex": 0, "bytes": 1, "value": 256}]}]})",
         "coe[0].value: must fit 1 byte(s)"},
        {R"({"nodes": [{"coe": [{"index": "0x1008", "subindex": 0}]}]})",
         "coe[0]: needs a \"value\" or a \"text\""},
        {R"({"nodes": [{"coe": [{"index": 1, "subindex": 0, "text": "a", "bytes": 1}]}]})",
         "coe[0]: a text takes no"},
        {R"({"nodes": [{"coe": [{"index": "0x6041", "subindex": 0},
                                {"index": "0x6041", "subindex": 0}]}]})",
         "coe[1]: the same index and subindex"},
        {R"({"nodes": [{"mailboxStale": true}]})", "nodes[0].mailboxStale: only for a node with"},
        {R"({"nodes": [{"coe": [], "mailboxLastCounter": 8}]})",
         "mailboxLastCounter: must be 1 to 7"},
        {R"({"nodes": [{"coe": [], "mailboxSm0": "0x0800"}]})", "mailboxSm0: must be 0x1000"},
        {tooMany, "1024"}};
    for (const auto& [json, reason] : cases) {
        std::string error;
        EXPECT_FALSE(ParseBus(json, &error)) << json.substr(0, 60);
        EXPECT_NE(error.find(reason), std::string::npos) << json.substr(0, 60) << " -> " << error;
    }
    std::string error;
    EXPECT_FALSE(kestrum::sim::LoadBusFile(BusFile("no-such-bus.json"), &error));
    EXPECT_NE(error.find("no-such-bus.json"), std::string::npos) << error;
}

// "@SIM SET" names every counter of the block by its address, the PDI error code not;
// a bus file names the window's four one by one, the others only by their arrays.
TEST(BusFile, CountersAreSetByTheirAddressesAndTheWindowsFourByName) {
    std::string error;
    auto bus = ParseBus(R"({"nodes": [{"301H": -5, "errorCounters[2]": 70000}]})", &error);
    ASSERT_TRUE(bus) << error;
    EXPECT_FALSE(ParseBus(R"({"nodes": [{"304H": 1}]})", &error));
    EXPECT_EQ(error, "nodes[0].304H: unknown key");
    const auto now = Clock::now();
    Unserved sim(*bus, now);
    EXPECT_EQ(sim.Run("?NODE_INFO(0,0,769)", now).text, "-5\r\n");
    EXPECT_EQ(sim.Run("?NODE_INFO(0,0,770)", now).text, "70000\r\n");
    for (const auto& r : kestrum::language::kErrorRegisters) {
        const std::string name(r.name);
        const bool counter = kestrum::language::IsErrorCounter(r.offset);
        EXPECT_EQ(sim.Run("@SIM SET 0 " + name + " 200", now).status, counter ? 0 : 2002)
            << name;
        EXPECT_EQ(
            sim.Run("?NODE_INFO(0,0," + std::to_string(768 + r.offset) + ")", now).text,
            counter ? "200\r\n" : "0\r\n")
            << name;
    }
    EXPECT_EQ(sim.Run("@SIM SET 0 30aH 256", now).status, 2002);  // 8-bit
}

TEST(BusFile, SegmentFieldsLoadAndSimSetChangesThem) {
    std::string error;
    auto bus = ParseBus(R"({"nodes": [{"esc": {"eepromBusyMs": 1.5, "eepromEmulated": true,
        "eepromReadBytes": 4, "eepromAssignedToPdi": true, "pdiAccessActive": true,
        "eepromChecksumError": true, "eepromNotLoaded": true},
        "alState": "SAFEOP", "alError": true, "alStatusCode": "0x1B"}, {}]})",
                        &error);
    ASSERT_TRUE(bus) << error;
    const kestrum::sim::EscTraits& esc = bus->nodes[0].esc;
    EXPECT_EQ(esc.eepromBusyMs, 1.5);
    EXPECT_TRUE(esc.eepromEmulated && esc.eepromAssignedToPdi && esc.pdiAccessActive &&
                esc.eepromChecksumError && esc.eepromNotLoaded);
    EXPECT_EQ(esc.eepromReadBytes, 4);
    EXPECT_FALSE(bus->nodes[1].esc.eepromBusyMs);  // left to the kind's default

    const auto now = Clock::now();
    Unserved sim(*bus, now);
    for (const char* good : {"@SIM SET 1 esc.pdiAccessActive 1", "@SIM SET 1 alState OP",
                             "@SIM SET 1 alStatusCode 0x1D", "@SIM SET 1 esc.eepromBusyMs 2.5"})
        EXPECT_EQ(sim.Run(good, now).status, 0) << good;
    for (const char* bad : {"@SIM SET 1 alState RUN", "@SIM SET 1 esc.eepromReadBytes 6",
                            "@SIM SET 1 alError 2", "@SIM SET 2 alError 1"})
        EXPECT_EQ(sim.Run(bad, now).status, 2002) << bad;
    const auto line = sim.Line(now).nodes;
    EXPECT_EQ(line[0].device.alState, 4);
    EXPECT_TRUE(line[0].device.alError);
    EXPECT_EQ(line[0].device.alStatusCode, 0x1B);
    EXPECT_TRUE(line[1].device.esc.pdiAccessActive);
    EXPECT_EQ(line[1].device.esc.eepromBusyMs, 2.5);
    EXPECT_EQ(line[1].device.alState, 8);
    EXPECT_FALSE(line[1].device.alError);
    EXPECT_EQ(line[1].device.alStatusCode, 0x1D);
}

}  // namespace
}  // namespace kestrum::sim::testing
