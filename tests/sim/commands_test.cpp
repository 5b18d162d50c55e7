// The command language as clients rely on it: reply forms, error statuses, the table
// read after an SDO read and the EtherCAT report.
#include <map>
#include <string>
#include <vector>

#include "kestrum/language/node_items.h"
#include "tests/sim/sim_client.h"

namespace kestrum::sim::testing {
namespace {

using kestrum::sim::Simulator;

class Commands : public SimTest {};

TEST_F(Commands, QueriesPrintOneDecimalValuePerLine) {
    auto client = Connect();
    EXPECT_EQ(client->Text("@SIM SET 4 aioBase 12"), "OK\r\n");
    // Every item of the analog module's page; vendor IDs the vendor table lacks or that
    // pass 16 bits; the last node.
    const std::pair<const char*, const char*> cases[] = {
        {"?CONTROL", "KSM464"},           {"?VERSION_DATE", "20261101"},
        {"?SERIAL_NUMBER", "00012345"},   {"?NODE_COUNT(0)", "8"},
        {"?NODE_INFO(0,4,0)", "1051"},    {"?NODE_INFO(0,4,1)", "196612"},
        {"?NODE_INFO(0,4,3)", "5"},       {"?NODE_INFO(0,4,10)", "4"},
        {"?NODE_INFO(0,4,11)", "4"},      {"?NODE_INFO(0,4,12)", "4"},
        {"?NODE_INFO(0,4,13)", "2"},      {"?NODE_IO(0,3)", "32"},
        {"?NODE_AIO(0,4,0)", "12"},       {"?NODE_AXIS_COUNT(0,2)", "2"},
        {"?NODE_AXIS_COUNT(0,3)", "0"},   {"?NODE_INFO(0,5,0)", "2"},
        {"?NODE_INFO(0,6,0)", "1048576"}, {"?NODE_INFO(0,7,0)", "94597"},
        {"?NODE_INFO(0,0,768)", "0"},     {"?NODE_INFO(0,0,771)", "0"}};
    for (const auto& [command, value] : cases)
        EXPECT_EQ(client->Text(command), std::string(value) + "\r\n") << command;
}

TEST_F(Commands, ErrorsCarryAStatusAndAText) {
    auto client = Connect();
    const std::pair<int32_t, std::vector<const char*>> cases[] = {
        {2001, {"?FOO", "", "?control"}},
        {2003,
         {"?NODE_INFO(0,8,0)", "?NODE_INFO(0,-1,0)", "?NODE_AXIS_COUNT(0,200)",
          "?NODE_REGS(0,8,768,1)"}},
        // Bad slot, item, arguments or table entry.
        {2002,
         {"?NODE_INFO(1,0,0)", "?NODE_COUNT(1)", "?NODE_INFO(0,1,2)", "?NODE_INFO(0,1",
          "?NODE_INFO(0,1,0,5)", "?NODE_INFO(0,,0)", "?NODE_INFO(0,99999999999,0)",
          "?NODE_INFO(0,1x,0)", "?NODE_AIO(0,4,1)", "SDO_READ(0,0,24641,0,7,4096)", "?TABLE(4096) ",
          "?TABLE(-1) ", "?TABLE(0) FOO", "?TABLE(0", "?NODE_REGS(0,0,768)",
          "?NODE_REGS(1,0,768,1)", "?NODE_REGS(0,0,0,1)", "?NODE_REGS(0,0,2147483647,64)"}},
        // SDO reads from an I/O module and of a missing object.
        {3001, {"SDO_READ(0,3,24641,0,7,0)", "SDO_READ(0,0,4096,0,7,0)"}}};
    for (const auto& [status, commands] : cases) {
        for (const char* command : commands) {
            auto reply = client->Call(command);
            EXPECT_EQ(reply.status, status) << command;
            EXPECT_TRUE(reply.text.size() > 2 && reply.text.ends_with("\r\n")) << command;
        }
    }
    // The link survives all of them.
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");
}

// DL status as a line's nodes report it: 5A31H with a node behind port 1, 5611H at the
// end of the line (port 1 without link, its loop closed).
TEST_F(Commands, RegisterItemsReadOneByOneOrInBulk) {
    auto client = Connect();
    for (const char* set : {"@SIM SET 1 300H 300", "@SIM SET 1 errorCounters23[3] 1",
                            "@SIM SET 1 forwardedErrors[1] 7", "@SIM SET 1 puErrors 12",
                            "@SIM SET 1 313H 255", "@SIM NODE_OFF 3 60000"})
        EXPECT_EQ(client->Text(set), "OK\r\n") << set;
    const int32_t lastRegister =
        kestrum::language::kItemRegister300H + kestrum::language::kErrorRegisterCount - 1;
    const std::pair<std::string, const char*> cases[] = {
        {"?NODE_INFO(0,0,272)", "49"},
        {"?NODE_INFO(0,0,273)", "90"},
        {"?NODE_REGS(0,1,272,2)", "49 90"},
        {"?NODE_REGS(0,2,272,2)", "17 86"},  // the last node while node 3 is off
        {"?NODE_INFO(0,1,768)", "300"},      // the simulator's count runs on past a byte
        {"?NODE_INFO(0,1,777)", "7"},
        {"?NODE_INFO(0,1,787)", "255"},
        {"?NODE_INFO(0,0,772)", "0"},
        {"?NODE_REGS(0,1,768,20)", "255 0 0 0 0 0 0 1 0 7 0 0 12 0 0 0 0 0 0 255"},
        {"?NODE_REGS(0,1,787,1)", "255"},
        {"?NODE_REGS(0,0,768,0)", "Error 2002: bad arguments"},
        {"?NODE_REGS(0,0,768,65)", "Error 2002: bad arguments"},
        {"?NODE_REGS(0,0," + std::to_string(lastRegister - 1) + ",3)",
         "Error 2002: no such item"},  // past the error registers
        {"?NODE_REGS(0,0,271,2)", "Error 2002: no such item"},
        {"?NODE_REGS(0,3,768,1)", "Error 2003: no such node"},
        {"@SIM SET 1 lostLinks[0] 256", "Error 2002: bad @SIM arguments"},
        {"@SIM SET 1 30EH 1", "Error 2002: bad @SIM arguments"},  // the PDI error code
    };
    for (const auto& [command, reply] : cases)
        EXPECT_EQ(client->Call(command).text, std::string(reply) + "\r\n") << command;
}

TEST_F(Commands, SdoReadFillsTheTableWhichPrintsPlainDecimals) {
    auto client = Connect();
    EXPECT_EQ(client->Text("SDO_READ(0,0,24641,0,7,0)"), "");
    EXPECT_EQ(client->Text("?TABLE(0) "), "4663\r\n");
    // Another entry, another node; entry 0 stays.
    EXPECT_EQ(client->Text("SDO_READ(0,2,24641,0,7,9)"), "");
    EXPECT_EQ(client->Text("?TABLE(0) TABLE(9) TABLE(1) "), "4663 592 0\r\n");
    // A failed read leaves the entry alone.
    EXPECT_NE(client->Call("SDO_READ(0,5,24641,0,7,0)").status, 0);
    EXPECT_EQ(client->Text("?TABLE(0)"), "4663\r\n");
    // A status word changed on the node shows at the next read, not before.
    client->Text("@SIM SET 0 statusWord 0x0237");
    EXPECT_EQ(client->Text("?TABLE(0) "), "4663\r\n");
    client->Text("SDO_READ(0,0,24641,0,7,0)");
    EXPECT_EQ(client->Text("?TABLE(0) "), "567\r\n");

    // Values print with a point and no exponent.
    const std::pair<const char*, const char*> cases[] = {
        {"-1.5", "-1.5"}, {"0.1", "0.1"},           {"16777216", "16777216"},
        {"-0", "0"},      {"65535.25", "65535.25"}, {"1e20", "100000002004087734272"}};
    int entry = 100;
    std::string command = "?", expected;
    for (const auto& [value, printed] : cases) {
        EXPECT_EQ(client->Text("@SIM TABLE " + std::to_string(entry) + " " + value), "OK\r\n");
        command += "TABLE(" + std::to_string(entry++) + ") ";
        expected += (expected.empty() ? "" : " ") + std::string(printed);
    }
    EXPECT_EQ(client->Text(command), expected + "\r\n");
}

// The poll takes "Lostcount:" up to the report's second full stop, so there must be
// exactly two, the last one after the count.
TEST_F(Commands, EthercatReportHasOneFullStopBeforeLostcount) {
    auto client = Connect();
    std::string report = client->Text("?*ETHERCAT");
    EXPECT_TRUE(report.ends_with("Lostcount:3.\r\n")) << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '.'), 2) << report;
    // Still so while nodes are off the bus and the count rises.
    client->Text("@SIM NODE_OFF 2 5000");
    client->Text("@SIM LOST 1000");
    std::this_thread::sleep_for(20ms);
    report = client->Text("?*ETHERCAT");
    EXPECT_EQ(std::count(report.begin(), report.end(), '.'), 2) << report;
    EXPECT_NE(report.find("Nodes:2 of 8"), std::string::npos) << report;
    auto count = report.find("Lostcount:");
    ASSERT_NE(count, std::string::npos) << report;
    EXPECT_GE(std::stoi(report.substr(count + 10)), 3 + 20);
    EXPECT_TRUE(report.ends_with(".\r\n")) << report;
}

// A controller of another make: it knows only what our window sends, and no error number
// of its own may read as one of ours to a client.
TEST_F(Commands, PlainControllerRefusesTheRestUnderItsOwnNumbers) {
    Serve(LoadBus("demo.json"), 0, {.plain = true, .seed = 7});
    EXPECT_EQ(sim_->seed(), 7u);
    auto client = Connect();
    EXPECT_EQ(client->Text("@SIM SET 1 300H 300"), "OK\r\n");
    const std::pair<const char*, const char*> answered[] = {
        {"?CONTROL", "KSM464\r\n"},          {"?NODE_COUNT(0)", "8\r\n"},
        {"?NODE_INFO(0,4,1)", "196612\r\n"}, {"?NODE_INFO(0,4,13)", "2\r\n"},
        {"?NODE_AIO(0,4,0)", "0\r\n"},       {"SDO_READ(0,0,24641,0,7,0)", ""},
        {"?TABLE(0) ", "4663\r\n"},          {"?NODE_INFO(0,1,768)", "255\r\n"}};
    for (const auto& [command, text] : answered) EXPECT_EQ(client->Text(command), text) << command;

    // The same seed draws the same numbers; unknown commands share one, as do unknown items.
    Simulator twin(LoadBus("demo.json"), {}, {.plain = true, .seed = 7});
    std::map<std::string, int32_t> status;
    for (const char* refused :
         {"?NODE_REGS(0,0,768,1)", "?FOO", "?NODE_INFO(0,0,272)", "?NODE_INFO(0,0,772)",
          "?NODE_INFO(0,0,2)", "?NODE_INFO(0,8,0)", "SDO_READ(0,3,24641,0,7,0)"}) {
        const auto reply = client->Call(refused);
        EXPECT_TRUE(reply.status >= 1 && reply.status <= 9999 &&
                    (reply.status < 2001 || reply.status > 2003) && reply.status != 3001 &&
                    reply.status != 3002)
            << refused << " -> " << reply.status;
        const std::string prefix = "Error " + std::to_string(reply.status) + ": ";
        EXPECT_TRUE(reply.text.starts_with(prefix) && reply.text.ends_with("\r\n")) << reply.text;
        EXPECT_EQ(twin.server().Control(refused), reply.text) << refused;
        status[refused] = reply.status;
    }
    EXPECT_EQ(status["?NODE_REGS(0,0,768,1)"], status["?FOO"]);
    EXPECT_EQ(status["?NODE_INFO(0,0,272)"], status["?NODE_INFO(0,0,772)"]);
    EXPECT_EQ(status["?NODE_INFO(0,0,272)"], status["?NODE_INFO(0,0,2)"]);
    EXPECT_NE(status["?NODE_INFO(0,0,272)"], status["?FOO"]);
    EXPECT_NE(status["?NODE_INFO(0,8,0)"], status["?FOO"]);
    // Odd refusals are renumbered too, unless given a number that is not ours.
    EXPECT_EQ(client->Text("@SIM ODD ?CONTROL ERROR"), "OK\r\n");
    EXPECT_EQ(client->Call("?CONTROL").status, status["?NODE_INFO(0,0,272)"]);
    EXPECT_EQ(client->Text("@SIM ODD ?CONTROL ERROR 4"), "OK\r\n");
    EXPECT_EQ(client->Call("?CONTROL").text, "Error 4: no such item\r\n");

    EXPECT_EQ(client->Text("@SIM PLAIN 0"), "OK\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,1,768)"), "300\r\n");
    EXPECT_EQ(client->Call("?NODE_INFO(0,0,2)").status, 2002);
    EXPECT_EQ(client->Call("?CONTROL").status, 4);
}

// Two bytes read at a register item's address; the bulk read stays byte by byte.
TEST_F(Commands, WideRegistersReadTheItemAndTheNextByte) {
    auto client = Connect();
    for (const char* set : {"@SIM WIDE 1", "@SIM SET 1 300H 300", "@SIM SET 1 301H 2",
                            "@SIM SET 1 303H 9", "@SIM SET 1 313H 255"})
        EXPECT_EQ(client->Text(set), "OK\r\n") << set;
    const std::pair<const char*, const char*> cases[] = {
        {"?NODE_INFO(0,1,768)", "767"},    // FFH | 2 << 8
        {"?NODE_INFO(0,1,771)", "9"},      // 304H is 0
        {"?NODE_INFO(0,1,787)", "255"},    // 314H reads 0
        {"?NODE_INFO(0,0,272)", "23089"},  // 5A31H
        {"?NODE_INFO(0,0,273)", "90"},     // 112H reads 0
        {"?NODE_INFO(0,1,0)", "1647"},    {"?NODE_REGS(0,1,768,2)", "255 2"}};
    for (const auto& [command, value] : cases)
        EXPECT_EQ(client->Text(command), std::string(value) + "\r\n") << command;
    for (const char* bad : {"@SIM WIDE 2", "@SIM PLAIN", "@SIM ODD ?CONTROL ERROR 0",
                            "@SIM ODD ?CONTROL ERROR 10000", "@SIM ODD ?CONTROL WORD 4"})
        EXPECT_EQ(client->Call(bad).status, 2002) << bad;
    EXPECT_EQ(client->Text("?CONTROL"), "KSM464\r\n");
    EXPECT_EQ(client->Text("@SIM WIDE 0"), "OK\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,1,768)"), "300\r\n");
}

}  // namespace
}  // namespace kestrum::sim::testing
