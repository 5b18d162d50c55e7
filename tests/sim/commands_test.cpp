// The command language as clients rely on it: reply forms, error statuses, the table
// read after an SDO read and the EtherCAT report.
#include <string>

#include "sim_client.h"

namespace simtest {
namespace {

// Demo bus: 0 Kestrum drive (status 1237H), 1 Panasonic drive, 2 Delta drive with two
// axes (0250H), 3 digital I/O, 4 analog I/O, 5 vendor 2H, 6 flaky drive, 7 Leadshine.
class Commands : public SimTest {};

TEST_F(Commands, IdentityRepliesAreOneWordLines) {
    auto client = Connect();
    EXPECT_EQ(client->Text("?CONTROL"), "KSM464\r\n");
    EXPECT_EQ(client->Text("?VERSION_DATE"), "20261101\r\n");
    EXPECT_EQ(client->Text("?SERIAL_NUMBER"), "00012345\r\n");
}

TEST_F(Commands, NodeQueriesPrintDecimalValues) {
    auto client = Connect();
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");
    // Analog module: every item of the node information page.
    EXPECT_EQ(client->Text("?NODE_INFO(0,4,0)"), "1051\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,4,1)"), "196612\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,4,3)"), "5\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,4,10)"), "4\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,4,11)"), "4\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,4,12)"), "4\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,4,13)"), "2\r\n");
    EXPECT_EQ(client->Text("?NODE_IO(0,3)"), "32\r\n");
    EXPECT_EQ(client->Text("@SIM SET 4 aioBase 12"), "OK\r\n");
    EXPECT_EQ(client->Text("?NODE_AIO(0,4,0)"), "12\r\n");
    EXPECT_EQ(client->Text("?NODE_AXIS_COUNT(0,2)"), "2\r\n");
    EXPECT_EQ(client->Text("?NODE_AXIS_COUNT(0,3)"), "0\r\n");
    // Vendor IDs at both ends: one the vendor table lacks, one above 16 bits.
    EXPECT_EQ(client->Text("?NODE_INFO(0,5,0)"), "2\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,6,0)"), "1048576\r\n");
    // Last node, and the counters of a quiet one.
    EXPECT_EQ(client->Text("?NODE_INFO(0,7,0)"), "94597\r\n");
    for (int item = 768; item <= 771; ++item)
        EXPECT_EQ(client->Text("?NODE_INFO(0,0," + std::to_string(item) + ")"), "0\r\n");
}

TEST_F(Commands, ErrorsCarryAStatusAndAText) {
    auto client = Connect();
    struct Case {
        const char* command;
        int32_t status;
    };
    const Case cases[] = {
        {"?FOO", 2001},
        {"", 2001},
        {"?control", 2001},
        {"?NODE_INFO(0,8,0)", 2003},  // one past the last node
        {"?NODE_INFO(0,-1,0)", 2003},
        {"?NODE_AXIS_COUNT(0,200)", 2003},
        {"?NODE_INFO(1,0,0)", 2002},  // no bus slot 1
        {"?NODE_COUNT(1)", 2002},
        {"?NODE_INFO(0,1,2)", 2002},  // no item 2
        {"?NODE_INFO(0,1", 2002},
        {"?NODE_INFO(0,1,0,5)", 2002},
        {"?NODE_INFO(0,,0)", 2002},
        {"?NODE_INFO(0,99999999999,0)", 2002},
        {"?NODE_INFO(0,1x,0)", 2002},
        {"?NODE_AIO(0,4,1)", 2002},
        {"SDO_READ(0,3,24641,0,7,0)", 3001},  // I/O module: no drive
        {"SDO_READ(0,0,4096,0,7,0)", 3001},   // no such object
        {"SDO_READ(0,0,24641,0,7,4096)", 2002},
        {"?TABLE(4096) ", 2002},
        {"?TABLE(-1) ", 2002},
        {"?TABLE(0) FOO", 2002},
        {"?TABLE(0", 2002},
    };
    for (const auto& c : cases) {
        auto reply = client->Call(c.command);
        EXPECT_EQ(reply.status, c.status) << c.command;
        EXPECT_GT(reply.text.size(), 2u) << c.command;
        EXPECT_TRUE(reply.text.ends_with("\r\n")) << c.command;
    }
    // The link survives all of them.
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");
}

TEST_F(Commands, SdoReadFillsTheTableAndPrintsNothing) {
    auto client = Connect();
    auto sdo = client->Call("SDO_READ(0,0,24641,0,7,0)");
    EXPECT_EQ(sdo.status, 0);
    EXPECT_EQ(sdo.text, "");
    EXPECT_EQ(client->Text("?TABLE(0) "), "4663\r\n");
    // Another entry, another node; entry 0 stays.
    EXPECT_EQ(client->Call("SDO_READ(0,2,24641,0,7,9)").text, "");
    EXPECT_EQ(client->Text("?TABLE(0) TABLE(9) TABLE(1) "), "4663 592 0\r\n");
    // A failed read leaves the entry alone.
    EXPECT_NE(client->Call("SDO_READ(0,5,24641,0,7,0)").status, 0);
    EXPECT_EQ(client->Text("?TABLE(0)"), "4663\r\n");
    // A status word changed on the node shows at the next read, not before.
    EXPECT_EQ(client->Text("@SIM SET 0 statusWord 0x0237"), "OK\r\n");
    EXPECT_EQ(client->Text("?TABLE(0) "), "4663\r\n");
    EXPECT_EQ(client->Call("SDO_READ(0,0,24641,0,7,0)").status, 0);
    EXPECT_EQ(client->Text("?TABLE(0) "), "567\r\n");
}

TEST_F(Commands, TableValuesUseAPointAndNoExponent) {
    auto client = Connect();
    const std::pair<const char*, const char*> cases[] = {
        {"-1.5", "-1.5"},
        {"0.1", "0.1"},
        {"-3", "-3"},
        {"16777216", "16777216"},
        {"1e20", "100000002004087734272"},
        {"-0", "0"},
        {"65535.25", "65535.25"},
    };
    int entry = 100;
    std::string expected;
    std::string command = "?";
    for (const auto& [value, printed] : cases) {
        EXPECT_EQ(client->Text("@SIM TABLE " + std::to_string(entry) + " " + value), "OK\r\n");
        command += "TABLE(" + std::to_string(entry++) + ") ";
        expected += std::string(expected.empty() ? "" : " ") + printed;
    }
    EXPECT_EQ(client->Text(command), expected + "\r\n");
}

// The poll takes "Lostcount:" up to the report's second full stop.
std::string CutLostcount(const std::string& report) {
    auto c = report.find("Lostcount:");
    auto p = report.find('.');
    if (c == std::string::npos || p == std::string::npos) return {};
    auto d = report.find('.', p + 1);
    if (d == std::string::npos || d <= c) return {};
    return report.substr(c, d - c);
}

TEST_F(Commands, EthercatReportHasOneFullStopBeforeLostcount) {
    auto client = Connect();
    std::string report = client->Text("?*ETHERCAT");
    EXPECT_EQ(CutLostcount(report), "Lostcount:3");
    EXPECT_TRUE(report.ends_with("Lostcount:3.\r\n")) << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '.'), 2) << report;
    // Still so while nodes are off the bus and the count rises.
    client->Text("@SIM NODE_OFF 2 5000");
    client->Text("@SIM LOST 1000");
    std::this_thread::sleep_for(20ms);
    report = client->Text("?*ETHERCAT");
    EXPECT_EQ(std::count(report.begin(), report.end(), '.'), 2) << report;
    std::string cut = CutLostcount(report);
    ASSERT_TRUE(cut.starts_with("Lostcount:")) << report;
    EXPECT_GE(std::stoi(cut.substr(10)), 3 + 20);
    EXPECT_NE(report.find("Nodes:2 of 8"), std::string::npos) << report;
}

}  // namespace
}  // namespace simtest
