// The command language answered from a scan, without a segment.
#include "gateway/gateway_model.h"

#include <gtest/gtest.h>

#include <functional>

#include "kestrum/language/node_items.h"
#include "kestrum/server/command_language.h"

#include "nodes/lostcount.h"

namespace kestrum::gateway {
namespace {

ecat::NodeScan Node(uint32_t vendor, uint32_t product, uint16_t alias, ecat::IoCounts io) {
    ecat::NodeScan node;
    node.siiRead = true;
    node.registersRead = true;
    node.readAt = ecat::NodeScan::Clock::now();
    node.sii.vendorId = vendor;
    node.sii.productCode = product;
    node.alias = alias;
    node.io = io;
    node.alStatus = ecat::kAlStateInit;
    return node;
}

class GatewayModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto scan = std::make_shared<ecat::BusScan>();
        scan->nodes = {Node(0x41B, 0x10305070, 1, {0, 0, 0, 0, 1}),
                       Node(0x41B, 0x20010, 4, {16, 8, 0, 0, 0}),
                       Node(0x80000001u, 5, 5, {4, 4, 4, 2, 0})};
        scan->nodes[1].counters[2] = 0xFF;
        scan->nodes[1].counters[0x10] = 3;  // lost link, port 0
        scan->nodes[1].counters[0x13] = 9;
        scan->nodes[2].dlStatus = 0x5611;  // the last node: port 1 without link, loop closed
        model.Update({scan, 5, LineCondition::kUp, 0, {}});
    }
    std::string Text(const char* command) { return Answer(command).text; }
    kestrum::server::Outcome Answer(const char* command) {
        return kestrum::server::AnswerCommand(model, command, kestrum::server::Clock::now());
    }
    GatewayModel model{{"20261208", "0A1B2C3D4E5F", 10}};
};

TEST_F(GatewayModelTest, NodeQueriesComeFromTheScan) {
    using kestrum::language::kErrorRegisterCount;
    using kestrum::language::kItemRegister300H;
    const std::pair<std::string, const char*> cases[] = {
        {"?CONTROL", "GATEWAY\r\n"},
        {"?SERIAL_NUMBER", "0A1B2C3D4E5F\r\n"},
        {"?NODE_COUNT(0)", "3\r\n"},
        {"?NODE_INFO(0,0,0)", "1051\r\n"},
        {"?NODE_INFO(0,2,0)", "-2147483647\r\n"},  // the ID's bit pattern, as the pages read it
        {"?NODE_INFO(0,0,1)", "271601776\r\n"},
        {"?NODE_INFO(0,1,3)", "4\r\n"},
        {"?NODE_INFO(0,1,10)", "16\r\n"},
        {"?NODE_INFO(0,2,13)", "2\r\n"},
        {"?NODE_INFO(0,1,770)", "255\r\n"},
        {"?NODE_INFO(0,1,784)", "3\r\n"},
        {"?NODE_INFO(0,2,272)", "17\r\n"},
        {"?NODE_INFO(0,2,273)", "86\r\n"},
        {"?NODE_REGS(0,1,768,20)", "0 0 255 0 0 0 0 0 0 0 0 0 0 0 0 0 3 0 0 9\r\n"},
        {"?NODE_REGS(0,2,272,2)", "17 86\r\n"},
        {"?NODE_INFO(0,0,274)", "Error 2002: no such item\r\n"},
        {"?NODE_AXIS_COUNT(0,0)", "1\r\n"},
        {"?NODE_IO(0,2)", "16\r\n"},  // max(inputs, outputs) of the nodes before
        {"?NODE_AIO(0,2,0)", "0\r\n"},
        {"?TABLE(0) ", "0\r\n"},
        {"?NODE_INFO(0,3,0)", "Error 2003: no such node\r\n"},
        {"?NODE_INFO(0,0," + std::to_string(kItemRegister300H + kErrorRegisterCount) + ")",
         "Error 2002: no such item\r\n"},  // past the error registers
        {"?NODE_COUNT(1)", "Error 2002: no such bus slot\r\n"},
    };
    for (const auto& [command, reply] : cases) EXPECT_EQ(Text(command.c_str()), reply) << command;
    const auto sdo = Answer("SDO_READ(0,0,24641,0,7,0)");
    EXPECT_EQ(sdo.status, kestrum::language::kSdoFailed);
    // No loop reads the mailboxes here: the wait is bounded.
    EXPECT_NE(sdo.text.find("6041H:00 not read within"), std::string::npos) << sdo.text;
}

TEST_F(GatewayModelTest, AnUnreadSiiIsNoNumberAndTheReportSaysWhy) {
    auto scan = std::make_shared<ecat::BusScan>();
    scan->nodes = {Node(0x41B, 1, 1, {8, 8, 0, 0, 0}), Node(0, 0, 2, {}), Node(0x41B, 2, 3, {})};
    scan->nodes[1].siiRead = false;
    scan->nodes[1].siiFault = ecat::SiiFault::kHeldByProcessor;
    scan->nodes[2].alStatus = ecat::kAlStateSafeop | 0x10;
    scan->nodes[2].alStatusCode = 0x1B;
    scan->nodes[2].eepromChecksumError = true;
    model.Update({scan, 0, LineCondition::kUp, 0, {}});
    const std::pair<const char*, const char*> cases[] = {
        {"?NODE_INFO(0,1,0)", "Error 3002: SII held by the node's processor\r\n"},
        {"?NODE_INFO(0,1,10)", "Error 3002: SII held by the node's processor\r\n"},
        {"?NODE_AXIS_COUNT(0,1)", "Error 3002: SII held by the node's processor\r\n"},
        {"?NODE_IO(0,2)", "Error 3002: SII held by the node's processor\r\n"},  // counted over it
        {"?NODE_IO(0,1)", "8\r\n"},
        {"?NODE_INFO(0,1,3)", "2\r\n"},  // registers are read all the same
        {"?NODE_REGS(0,1,784,4)", "0 0 0 0\r\n"},
        {"?NODE_INFO(0,2,0)", "1051\r\n"},
    };
    for (const auto& [command, reply] : cases) EXPECT_EQ(Text(command), reply) << command;
    const std::string report = Text("?*ETHERCAT");
    EXPECT_NE(report.find("States: INIT 2 SAFEOP+ERR 1\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\r\nNode1: SII held by the node's processor\r\nNode2: EEPROM checksum "
                          "error\r\nNode2: AL status code 001BH\r\nLate frames: 0\r\nLine: up\r\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(pelvane::CutLostcountText(report), "Lostcount:0");

    // However many nodes fail, the lost count stays inside a client's reply buffer.
    scan->nodes.assign(256, scan->nodes[1]);
    model.Update({scan, 4, LineCondition::kUp, 0, {}});
    EXPECT_LT(Text("?*ETHERCAT").size(), 1500u);
    EXPECT_EQ(pelvane::CutLostcountText(Text("?*ETHERCAT")), "Lostcount:4");
}

TEST_F(GatewayModelTest, TheReportCutsToTheLostFramesAndAFailedScanKeepsTheLast) {
    EXPECT_EQ(pelvane::CutLostcountText(Text("?*ETHERCAT")), "Lostcount:5");
    EXPECT_NE(Text("?*ETHERCAT").find("States: INIT 3"), std::string::npos);
    EXPECT_NE(Text("?*ETHERCAT").find("\r\nLate frames: 0\r\nLine: up\r\nLostcount:5."),
              std::string::npos);
    model.Update({nullptr, 9, LineCondition::kUp, 0, {}});
    EXPECT_EQ(Text("?NODE_COUNT(0)"), "3\r\n");
    EXPECT_EQ(pelvane::CutLostcountText(Text("?*ETHERCAT")), "Lostcount:9");
    // A line gone for long enough is served as an empty bus, and says why.
    model.Update({std::make_shared<ecat::BusScan>(), 12, LineCondition::kAnotherMaster, 0, {}});
    EXPECT_EQ(Text("?NODE_COUNT(0)"), "0\r\n");
    EXPECT_EQ(Text("?NODE_INFO(0,0,768)"), "Error 2003: no such node\r\n");
    EXPECT_EQ(pelvane::CutLostcountText(Text("?*ETHERCAT")), "Lostcount:12");
    EXPECT_NE(Text("?*ETHERCAT").find("\r\nLine: another master\r\n"), std::string::npos);
    EXPECT_EQ(BuildDate("Dec  8 2026"), "20261208");
    EXPECT_EQ(BuildDate("Jan 31 2027"), "20270131");
}

TEST_F(GatewayModelTest, TheReportNamesOnlyWhatStillStands) {
    using namespace std::chrono_literals;
    const auto now = ecat::NodeScan::Clock::now();
    struct Case {
        const char* what;
        std::function<void(ecat::NodeScan&)> set;
        const char* line;
        bool shown;
    };
    const Case cases[] = {
        {"an AL code with the error bit",
         [](ecat::NodeScan& n) {
             n.alStatus = ecat::kAlStateSafeop | 0x10;
             n.alStatusCode = 0x1B;
         },
         "Node0: AL status code 001BH", true},
        {"a code left from an acknowledged error",
         [](ecat::NodeScan& n) {
             n.alStatus = ecat::kAlStateOp;
             n.alStatusCode = 0x1B;
         },
         "AL status code", false},
        {"a device ID after an ID request",
         [](ecat::NodeScan& n) {
             n.alStatus = ecat::kAlStatePreop | 0x30;
             n.alStatusCode = 5;
         },
         "AL status code", false},
        {"an EEPROM not loaded at power-up, its SII read all the same",
         [](ecat::NodeScan& n) { n.eepromNotLoaded = true; }, "Node0: EEPROM not loaded\r\n", true},
        {"values a second old", [&](ecat::NodeScan& n) { n.readAt = now - 1500ms; },
         "Node0: not answered for ", true},
        {"values younger than a second", [&](ecat::NodeScan& n) { n.readAt = now - 900ms; },
         "not answered", false},
        {"a node counted but never answered", [](ecat::NodeScan& n) { n.registersRead = false; },
         "Node0: not answered for ", true},
    };
    for (const Case& c : cases) {
        auto scan = std::make_shared<ecat::BusScan>();
        scan->nodes = {Node(0x41B, 1, 1, {})};
        c.set(scan->nodes[0]);
        model.Update({scan, 0, LineCondition::kUp, 0, {}});
        const std::string report = Text("?*ETHERCAT");
        EXPECT_EQ(report.find(c.line) != std::string::npos, c.shown) << c.what << "\n" << report;
    }
    // Unanswered registers are no numbers; the identity stays.
    EXPECT_EQ(Text("?NODE_INFO(0,0,768)").rfind("Error 3002: not answered for ", 0), 0u);
    EXPECT_EQ(Text("?NODE_INFO(0,0,0)"), "1051\r\n");

    auto scan = std::make_shared<ecat::BusScan>();
    scan->nodes.assign(ecat::kMaxScannedNodes, Node(0x41B, 1, 1, {}));
    scan->counted = 300;
    model.Update({scan, 7, LineCondition::kLosingFrames, 4, {3, 120}});
    EXPECT_NE(Text("?*ETHERCAT")
                  .find("\r\nLine longer than 256 nodes: 300 counted, the first 256 "
                        "served\r\nLate frames: 4\r\nLine: losing frames (3 of 120 "
                        "in the last second)\r\nLostcount:7."),
              std::string::npos)
        << Text("?*ETHERCAT");
}

}  // namespace
}  // namespace kestrum::gateway
