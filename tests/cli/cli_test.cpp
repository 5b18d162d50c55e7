// pelvane-cli against in-process simulators on 127.0.60.x, each test on its own address.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/cli_app.h"
#include "cli/platform.h"
#include "cli/text_format.h"
#ifdef _WIN32
#include "tests/support/remote_simulator.h"
#else
#include "kestrum_sim/simulator.h"
#endif

namespace pelvane::cli {
namespace {

// Simulators of the demo bus, or of quiet_bus.json: four plain nodes, no faults, so what
// rises is what a test raises.
#ifdef _WIN32
// scripts/windows.sh serves the demo bus on 127.0.60.1 and .2, the quiet one on .3 to .7.
using TestSimulator = pelvane::testing::RemoteSimulator;

std::unique_ptr<TestSimulator> MakeSimulator(const std::string& address, bool) {
    return std::make_unique<TestSimulator>(address);
}
#else
using TestSimulator = kestrum::sim::Simulator;

std::unique_ptr<TestSimulator> MakeSimulator(const std::string& address, bool demo) {
    std::string error;
    auto bus = kestrum::sim::LoadBusFile(
        demo ? KESTRUM_SIM_BUS_DIR "/demo.json" : PELVANE_QUIET_BUS, &error);
    if (!bus) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    kestrum::sim::SimulatorOptions options;
    options.address = address;
    options.discovery = false;
    return std::make_unique<TestSimulator>(std::move(*bus), options);
}
#endif

struct Result {
    int code;
    std::string out, err;
};

Result Cli(std::vector<std::string> args) {
    args.insert(args.begin(), "pelvane-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int code = RunCli(static_cast<int>(argv.size()), argv.data(), CliIo{out, err});
    return {code, out.str(), err.str()};
}

std::string TempPath(const char* name) {
    return ::testing::TempDir() + "pelvane_cli_" + std::to_string(getpid()) + "_" + name;
}

// Each test runs against our simulator, and again as a controller of another make (the
// parameter): only the window's commands and items, its own error numbers.
class CliTest : public ::testing::TestWithParam<bool> {
  protected:
    // Starts a simulator on 127.0.60.host, or host + 20 for the other make, where the
    // library's fixed port reaches it.
    void Start(int host, bool demo) {
        plain = GetParam();
        address = "127.0.60." + std::to_string(host + (plain ? 20 : 0));
        sim = MakeSimulator(address, demo);
        ASSERT_TRUE(sim);
        std::string error;
        ASSERT_TRUE(sim->server().Start(&error)) << error;
        if (plain) {
            ASSERT_EQ(sim->server().Control("@SIM PLAIN 1"), "OK\r\n");
        }
        // The demo's flaky cable would make counts depend on timing.
        if (demo) sim->server().Control("@SIM COUNTERS 6 1 0");
    }

    std::string address;
    std::unique_ptr<TestSimulator> sim;
    bool plain = false;
};

TEST_P(CliTest, InfoAndNodesOfTheDemoBus) {
    Start(1, true);
    EXPECT_EQ(Cli({"info", address}).out, "model: KSM464\nversion: 20261101\nid: 00012345\n");

    const Result table = Cli({"nodes", address});
    EXPECT_EQ(table.code, 0);
    EXPECT_NE(table.out.find("\nNode4  Kestrum(41bH)  30004H     5       0     4(48-51)   "
                             "4(48-51)   4(0-3)  2(0-1)  0H\n"),
              std::string::npos)
        << table.out;
    EXPECT_NE(table.out.find("\nNode5  其他(2H)       44c2c52H"), std::string::npos);
    EXPECT_NE(table.out.find("  1237H\nNode1  "), std::string::npos) << table.out;

    const auto json = nlohmann::json::parse(Cli({"nodes", address, "--format", "json"}).out);
    ASSERT_EQ(json.size(), 8u);
    EXPECT_EQ(json[6]["vendorName"], "汇川");
    EXPECT_EQ(json[6]["vendorId"], 0x100000);
    EXPECT_EQ(json[6]["statusWord"], 0x231);

    const Result csv = Cli({"nodes", address, "--format", "csv"});
    EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')),
              "node,vendorId,vendorName,deviceId,switchNo,axes,inputs.first,inputs.count,"
              "outputs.first,outputs.count,ad.first,ad.count,da.first,da.count,statusWord");
    EXPECT_NE(csv.out.find("\n4,1051,Kestrum,196612,5,0,48,4,48,4,0,4,0,2,0\n"), std::string::npos);
    EXPECT_TRUE(std::regex_search(csv.out, std::regex("\n0,1051,[^\n]*,4663\n"))) << csv.out;

    // A vendor or a status word the controller would not give is no 0, in any format.
    sim->server().Control("@SIM ODD ?NODE_INFO(0,4,0) WORD");
    sim->server().Control("@SIM ODD SDO_READ(0,0, WORD");
    const std::string unread = Cli({"nodes", address}).out;
    EXPECT_NE(unread.find("\nNode4  unread         30004H"), std::string::npos);
    EXPECT_NE(unread.find("  unread\nNode1  "), std::string::npos) << unread;
    const auto unreadJson = nlohmann::json::parse(Cli({"nodes", address, "--format", "json"}).out);
    EXPECT_TRUE(unreadJson[4]["vendorId"].is_null());
    EXPECT_TRUE(unreadJson[0]["statusWord"].is_null());
    const std::string unreadCsv = Cli({"nodes", address, "--format", "csv"}).out;
    EXPECT_NE(unreadCsv.find("\n4,,,196612,5,"), std::string::npos);
    EXPECT_TRUE(std::regex_search(unreadCsv, std::regex("\n0,1051,[^\n]*,\n"))) << unreadCsv;
}

TEST_P(CliTest, SnapshotJsonAndCsv) {
    Start(2, true);
    const Result result = Cli({"snapshot", address});
    ASSERT_EQ(result.code, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["controller"], (nlohmann::json{{"address", address},
                                                  {"model", "KSM464"},
                                                  {"version", "20261101"},
                                                  {"id", "00012345"}}));
    EXPECT_TRUE(std::regex_match(json["time"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
    EXPECT_EQ(json["lostcountText"], "Lostcount:3");
    ASSERT_EQ(json["nodes"].size(), 8u);
    EXPECT_EQ(json["format"], 2);
    auto node4 = nlohmann::json::parse(R"({"node": 4, "vendorId": 1051,
        "vendorName": "Kestrum", "deviceId": 196612, "switchNo": 5, "axes": 0,
        "inputs": {"first": 48, "count": 4}, "outputs": {"first": 48, "count": 4},
        "ad": {"first": 0, "count": 4}, "da": {"first": 0, "count": 2},
        "counters": {"300H": 0, "301H": 0, "302H": 0, "303H": 0}, "statusWord": 0})");
    // The other make knows no register past 303H and no DL status: unread, not 0.
    for (const char* reg : {"304H", "305H", "306H", "307H", "308H", "309H", "30AH", "30BH", "30CH",
                            "30DH", "310H", "311H", "312H", "313H"})
        node4["counters"][reg] = plain ? nlohmann::json() : nlohmann::json(0);
    ASSERT_TRUE(plain || json["nodes"][4]["dlStatus"].is_number_unsigned()) << json["nodes"][4];
    node4["dlStatus"] = json["nodes"][4]["dlStatus"];
    EXPECT_EQ(json["nodes"][4], node4);
    EXPECT_EQ(json["nodes"][6]["statusWord"], 0x231);
    EXPECT_EQ(json["nodes"][6]["counters"]["301H"], 0);
    EXPECT_GE(json["nodes"][6]["counters"]["302H"], 3);

    // A file that is there is replaced.
    const std::string path = TempPath("replaced.json");
    std::ofstream(path) << "earlier";
    ASSERT_EQ(Cli({"snapshot", address, "-o", path}).code, 0);
    std::ifstream written(path);
    EXPECT_EQ(nlohmann::json::parse(written)["controller"]["address"], address);
    written.close();
    std::remove(path.c_str());

    // A status word that cannot be read is null, not a number.
    sim->server().Control("@SIM ODD ?NODE_AXIS_COUNT EMPTY");
    EXPECT_TRUE(
        nlohmann::json::parse(Cli({"snapshot", address}).out)["nodes"][0]["statusWord"].is_null());
    sim->server().Control("@SIM RESET");

    const Result csv = Cli({"snapshot", address, "--format", "csv"});
    std::istringstream lines(csv.out);
    std::string header, row;
    std::getline(lines, header);
    EXPECT_EQ(header,
              "controller.address,controller.model,controller.version,controller.id,time,"
              "lostcountText,node,vendorId,vendorName,deviceId,switchNo,axes,inputs.first,"
              "inputs.count,outputs.first,outputs.count,ad.first,ad.count,da.first,da.count,"
              "counters.300H,counters.301H,counters.302H,counters.303H,statusWord,"
              "counters.304H,counters.305H,counters.306H,counters.307H,counters.308H,"
              "counters.309H,counters.30AH,counters.30BH,counters.30CH,counters.30DH,"
              "counters.310H,counters.311H,counters.312H,counters.313H,dlStatus");
    for (int i = 0; i <= 2; ++i) std::getline(lines, row);
    EXPECT_TRUE(std::regex_match(
        row, std::regex(address +
                        ",KSM464,20261101,00012345,[0-9T:Z-]+,Lostcount:3,2,477,台达,"
                        "271601793,3,2,0,0,0,0,0,0,0,0,0,0,0,0,592" +
                        (plain ? "(,){14}," : "(,0){14},[0-9]+"))))
        << row;
}

TEST_P(CliTest, ExitCodes) {
    const Result unreachable = Cli({"info", "127.0.60.250"});
    EXPECT_EQ(unreachable.code, 1);
    EXPECT_EQ(unreachable.err,
              "pelvane-cli: cannot link to 127.0.60.250: the controller refused the link or "
              "cannot be reached\n");
    EXPECT_EQ(Cli({"watch", "127.0.60.250", "--count", "1"}).code, 1);
    // An unreachable controller leaves an earlier snapshot as it was.
    const std::string baseline = TempPath("baseline.json");
    std::ofstream(baseline) << "earlier";
    EXPECT_EQ(Cli({"snapshot", "127.0.60.250", "-o", baseline}).code, 1);
    std::ifstream kept(baseline);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "earlier");
    EXPECT_FALSE(std::ifstream(baseline + ".part"));
    std::remove(baseline.c_str());
    EXPECT_EQ(Cli({"info", "controller.local"}).code, 2);
    for (const auto& args :
         std::vector<std::vector<std::string>>{{},
                                               {"info"},
                                               {"nodes", "127.0.60.250", "--format", "xml"},
                                               {"bogus"},
                                               {"check", "127.0.60.250"},
                                               {"watch", "127.0.60.250", "--count", "0"}})
        EXPECT_EQ(Cli(args).code, 2) << (args.empty() ? "" : args[0]);
    const Result help = Cli({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("3  errors found"), std::string::npos);

#ifndef _WIN32
    // A link that dies under a watch ends it as a link failure. Through a link of its own a
    // simulator drops only that link.
    Start(3, false);
    std::thread dropper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sim->server().Control("@SIM DROP_LINK");
    });
    const Result dropped = Cli({"watch", address, "--interval", "20", "--count", "1000"});
    dropper.join();
    EXPECT_EQ(dropped.code, 1);
    EXPECT_NE(dropped.err.find("closed the link"), std::string::npos) << dropped.err;
#endif
}

TEST_P(CliTest, WatchAndCheckSeeRisingCounters) {
    Start(4, false);
    const Result clean = Cli({"check", address, "--duration", "0.3", "--interval", "50"});
    EXPECT_EQ(clean.code, 0) << clean.out << clean.err;
    EXPECT_NE(clean.out.find("verdict: bus clean"), std::string::npos);

    sim->server().Control("@SIM COUNTERS 0 0 100");
    const Result front = Cli({"check", address, "--duration", "0.3", "--interval", "50"});
    EXPECT_EQ(front.code, 3);
    EXPECT_NE(front.out.find("verdict: cable between the controller and Node0, seen by Node0 "
                             "port 1 (300H +"),
              std::string::npos)
        << front.out;

    sim->server().Control("@SIM RESET");
    sim->server().Control("@SIM COUNTERS 3 1 100");
    const Result end = Cli({"watch", address, "--interval", "100", "--count", "3"});
    EXPECT_EQ(end.code, 0);
    EXPECT_TRUE(std::regex_search(end.out, std::regex(R"(Z Node3 302H \d+ \(\+\d+, \+\d+ since)")))
        << end.out;
    EXPECT_NE(end.out.find("verdict: open port after Node3, the end of the line"),
              std::string::npos);

    sim->server().Control("@SIM RESET");
    sim->server().Control("@SIM LOST 100");
    const Result lost = Cli({"check", address, "--duration", "0.2", "--interval", "50"});
    EXPECT_EQ(lost.code, 3);
    EXPECT_NE(lost.out.find("verdict: no error counter rose; lost count rose by"),
              std::string::npos)
        << lost.out;

    // A controller whose link stays up but which never answers is no clean bus.
    sim->server().Control("@SIM STALL 600000");
    const Result stalled = Cli({"check", address, "--duration", "0"});
    EXPECT_EQ(stalled.code, 1) << stalled.out;
    EXPECT_NE(stalled.err.find("stopped answering"), std::string::npos) << stalled.err;
}

#ifndef _WIN32
// How often the run asked for the node count: each poll asks once, first of its nodes.
size_t NodeCountQueries(const TestSimulator& sim) {
    const std::vector<std::string> commands = sim.server().ReceivedCommands();
    return static_cast<size_t>(std::count(commands.begin(), commands.end(), "?NODE_COUNT(0)"));
}

TEST_P(CliTest, ALineThatBreaksIsNeverACleanBus) {
    Start(8, true);
    struct Case {
        // during: sent once the second poll asks for the count, so the first saw the line whole
        std::vector<std::string> args, before, during;
        const char *verdict, *utf8, *ascii;
    };
    const Case cases[] = {
        {{"check", "--duration", "0.5"},
         {},
         {"@SIM NODE_OFF 5 60000"},
         "verdict: line broken after Node4: 8 -> 5 nodes (cable between Node4 and Node5, or "
         "Node5 lost power)\n",
         " ─ Node4 ═✗═ end\n",
         " - Node4 =X= end\n"},
        {{"watch", "--count", "2"},
         {"@SIM NODE_OFF 0 60000"},
         {},
         "verdict: no node answers (the cable to Node0, or the controller's port)\n",
         "line: PLC ═✗═ end\n",
         "line: PLC =X= end\n"},
        {{"watch", "--count", "8"},
         {"@SIM NODE_OFF 5 60000"},
         {"@SIM RESET"},
         "verdict: line flapped after Node4: down to 5 of 8 nodes, back to 8 (cable between Node4 "
         "and Node5, or Node5 lost power)\n",
         " ─ Node4 ═✗═ Node5 ─ ",
         " - Node4 =X= Node5 - "},
        // The break first, then the counters of the nodes still on the line.
        {{"check", "--duration", "0.5"},
         {"@SIM COUNTERS 2 0 100"},
         {"@SIM NODE_OFF 5 60000"},
         "verdict: line broken after Node4: 8 -> 5 nodes (cable between Node4 and Node5, or "
         "Node5 lost power); cable between Node1 and Node2, seen by Node2 port 1 (300H +",
         "line: PLC ─ Node0 ─ Node1 ═✗═ [Node2] ─ Node3 ─ Node4 ═✗═ end\n",
         "line: PLC - Node0 - Node1 =X= [Node2] - Node3 - Node4 =X= end\n"},
    };
    for (const Case& c : cases) {
        sim->server().Control("@SIM RESET");
        for (const std::string& command : c.before) sim->server().Control(command);
        sim->server().ClearReceivedCommands();
        std::thread meanwhile([&] {
            const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!c.during.empty() && NodeCountQueries(*sim) < 2 &&
                   std::chrono::steady_clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            for (const std::string& command : c.during) sim->server().Control(command);
        });
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, address);
        args.insert(args.end(), {"--interval", "50"});
        const Result result = Cli(args);
        meanwhile.join();
        EXPECT_EQ(result.code, 3) << args[0] << result.out << result.err;
        EXPECT_NE(result.out.find(c.verdict), std::string::npos) << result.out;
        EXPECT_NE(result.out.find(OutputIsUtf8() ? c.utf8 : c.ascii), std::string::npos)
            << result.out;
    }
}

// A drive at fault is named on a line of its own, yet the bus is clean and no exit changes.
TEST_P(CliTest, ADriveAtFaultIsNoBusFault) {
    Start(10, false);
    sim->server().Control("@SIM SET 0 statusWord 0x0218");
    sim->server().Control("@SIM SET 2 axisCount 1");
    sim->server().Control("@SIM SET 2 statusWord 8");
    const std::string both =
        "drives: Node0 fault (status word 0218H), Node2 fault (status word 0008H)\n";
    const Result check = Cli({"check", address, "--duration", "0.2", "--interval", "50"});
    EXPECT_EQ(check.code, 0) << check.out << check.err;
    EXPECT_NE(check.out.find("\n" + both), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("verdict: bus clean"), std::string::npos) << check.out;

    // Said at the start and when the set changes, not when only a word changes.
    sim->server().ClearReceivedCommands();
    std::thread meanwhile([&] {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (NodeCountQueries(*sim) < 2 && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        sim->server().Control("@SIM SET 2 statusWord 0x0218");
        sim->server().Control("@SIM SET 0 statusWord 0x0237");
    });
    const Result watch = Cli({"watch", address, "--interval", "50", "--count", "6"});
    meanwhile.join();
    EXPECT_EQ(watch.code, 0);
    EXPECT_NE(watch.out.find("Z " + both), std::string::npos) << watch.out;
    const std::string after = "drives: Node2 fault (status word 0218H)\n";
    EXPECT_NE(watch.out.find("Z " + after), std::string::npos) << watch.out;
    size_t said = 0;
    for (size_t at = 0; (at = watch.out.find("Z drives:", at)) != std::string::npos; ++at) ++said;
    EXPECT_EQ(said, 2u) << watch.out;
    EXPECT_NE(watch.out.find("\n" + after), std::string::npos) << watch.out;
    EXPECT_NE(watch.out.find("verdict: bus clean"), std::string::npos) << watch.out;
}
#endif

TEST_P(CliTest, DiffCountsSaturationAndClears) {
    Start(5, false);
    const std::string before = TempPath("before.json"), after = TempPath("after.json");
    sim->server().Control("@SIM SET 1 301H 250");
    sim->server().Control("@SIM SET 2 302H 10");
    ASSERT_EQ(Cli({"snapshot", address, "-o", before}).code, 0);
    const Result same = Cli({"diff", before, before});
    EXPECT_EQ(same.code, 0);
    EXPECT_NE(same.out.find("verdict: bus clean"), std::string::npos);

    sim->server().Control("@SIM SET 1 301H 400");  // the register would stop at 255
    sim->server().Control("@SIM SET 2 302H 3");    // cleared on the node, then 3 new errors
    ASSERT_EQ(Cli({"snapshot", address, "-o", after}).code, 0);
    const Result diff = Cli({"diff", before, after});
    EXPECT_EQ(diff.code, 3);
    EXPECT_NE(diff.out.find("  Node1 301H at least +5, now 255+\n  Node2 302H +3, now 3\n"),
              std::string::npos)
        << diff.out;
    EXPECT_NE(diff.out.find("verdict: cable between Node0 and Node1, seen by Node1 port 1 (301H "
                            "at least +5)"),
              std::string::npos);

    std::ofstream(after) << R"({"controller": {}})";
    const Result broken = Cli({"diff", before, after});
    EXPECT_EQ(broken.code, 2);
    EXPECT_NE(broken.err.find(after), std::string::npos);
    std::remove(before.c_str());
    std::remove(after.c_str());
}

TEST_P(CliTest, AnUnreadCounterIsNullAndNeverARise) {
    Start(6, false);
    const std::string a = TempPath("a.json"), b = TempPath("b.json");
    sim->server().Control("@SIM SET 1 301H 7");
    ASSERT_EQ(Cli({"snapshot", address, "-o", a}).code, 0);
    // Node 1's block read is odd: its registers are asked one by one, and 301H is odd too.
    sim->server().Control("@SIM ODD ?NODE_REGS(0,1,768, EMPTY");
    sim->server().Control("@SIM ODD ?NODE_INFO(0,1,769) EMPTY");
    sim->server().Control("@SIM ODD ?NODE_INFO(0,2,1) WORD");
    ASSERT_EQ(Cli({"snapshot", address, "-o", b}).code, 0);
    std::ifstream file(b);
    const auto json = nlohmann::json::parse(file);
    EXPECT_TRUE(json["nodes"][1]["counters"]["301H"].is_null());
    EXPECT_EQ(json["nodes"][1]["counters"]["300H"], 0);
    EXPECT_TRUE(json["nodes"][2]["deviceId"].is_null());
    EXPECT_TRUE(Cli({"snapshot", address, "--format", "csv"}).out.find(",0,,0,0,") !=
                std::string::npos);

    // Null on either side is unknown: listed, never a rise, never a changed bus, never clean.
    for (const auto& [older, newer, side] : {std::tuple{b, a, "OLD"}, std::tuple{a, b, "NEW"}}) {
        const Result diff = Cli({"diff", older, newer});
        EXPECT_EQ(diff.code, 5) << diff.out;
        EXPECT_NE(diff.out.find(std::string("  Node1 301H unread in ") + side + ", not compared\n"),
                  std::string::npos)
            << diff.out;
        EXPECT_NE(diff.out.find("  Node2 identity unread, not compared\n"), std::string::npos);
        EXPECT_NE(diff.out.find("verdict: not judged: counters unread on Node1\n"),
                  std::string::npos)
            << diff.out;
    }
    std::remove(a.c_str());
    std::remove(b.c_str());
}

// Refused counters are never a clean bus: not judged (5), or named after what rose (3).
TEST_P(CliTest, CountersTheControllerRefusesAreNeverACleanBus) {
    Start(9, false);
    for (const char* prefix : {"?NODE_REGS(0,0,768", "?NODE_INFO(0,0,768)", "?NODE_INFO(0,1,771)"})
        sim->server().Control(std::string("@SIM ODD ") + prefix + " ERROR 4");
    const std::string unread =
        "not judged: counters unread on Node0..Node1 (the controller answered "
        "?NODE_INFO(0,0,768) with Error 4)\n";
    const Result check = Cli({"check", address, "--duration", "0.2", "--interval", "50"});
    EXPECT_EQ(check.code, 5) << check.out << check.err;
    EXPECT_NE(check.out.find("verdict: " + unread), std::string::npos) << check.out;
    const Result watch = Cli({"watch", address, "--interval", "50", "--count", "2"});
    EXPECT_EQ(watch.code, 0);
    EXPECT_NE(watch.out.find("verdict: " + unread), std::string::npos) << watch.out;

    sim->server().Control("@SIM COUNTERS 3 1 100");
    const Result rose = Cli({"check", address, "--duration", "0.3", "--interval", "50"});
    EXPECT_EQ(rose.code, 3);
    EXPECT_NE(rose.out.find("verdict: open port after Node3, the end of the line, seen by Node3 "
                            "port 2 (302H +"),
              std::string::npos)
        << rose.out;
    EXPECT_NE(rose.out.find("); " + unread), std::string::npos) << rose.out;
}

TEST_P(CliTest, ABusThatDiffersFromItsReferenceExitsFour) {
    Start(7, false);
    const std::string reference = TempPath("reference.json"), later = TempPath("later.json");
    ASSERT_EQ(Cli({"snapshot", address, "-o", reference}).code, 0);
    const Result same = Cli({"check", address, "--duration", "0", "--reference", reference});
    EXPECT_EQ(same.code, 0) << same.out << same.err;
    EXPECT_NE(same.out.find("bus: 4 nodes, as expected\n"), std::string::npos) << same.out;

    sim->server().Control("@SIM SET 2 deviceId 153");
    sim->server().Control("@SIM SET 3 302H 5");
    ASSERT_EQ(Cli({"snapshot", address, "-o", later}).code, 0);
    // 4 ranks above errors found.
    const Result diff = Cli({"diff", reference, later});
    EXPECT_EQ(diff.code, 4);
    EXPECT_NE(diff.out.find("bus: 4 nodes, differs from the reference\n  Node2 replaced: "
                            "Kestrum(41bH) device 0H -> Kestrum(41bH) device 99H\n"),
              std::string::npos)
        << diff.out;
    sim->server().Control("@SIM COUNTERS 3 1 100");
    const Result check =
        Cli({"check", address, "--duration", "0.3", "--interval", "50", "--reference", reference});
    EXPECT_EQ(check.code, 4) << check.out << check.err;
    EXPECT_NE(check.out.find("  Node2 replaced"), std::string::npos);
    EXPECT_NE(
        check.out.find(OutputIsUtf8() ? "line: PLC ─ Node0 ─ Node1 ─ Node2 ─ [Node3] ═✗═ end\n"
                                      : "line: PLC - Node0 - Node1 - Node2 - [Node3] =X= end\n"),
        std::string::npos)
        << check.out;
    EXPECT_EQ(Cli({"check", address, "--duration", "0", "--reference", TempPath("none")}).code, 2);
    std::remove(reference.c_str());
    std::remove(later.c_str());
}

TEST(CliText, ControllerTextCannotSteerTheTerminal) {
    EXPECT_EQ(Printable("Lost\x1b[2J\r\n\x7f\xc2\x9b"
                        "1m 汇川\xc2\xa0"),
              "Lost?[2J????1m 汇川\xc2\xa0");
    // A snapshot file holds the controller's text as read; printing it must not pass it on.
    const std::string path = TempPath("steer.json");
    std::ofstream(path) << R"({"controller": {"address": "127.0.0.1", "model": "K", "version": "1",
        "id": "1"}, "time": "\u001b]0;owned\u0007", "lostcountText": "Lostcount:1\r\n",
        "nodes": []})";
    const Result diff = Cli({"diff", path, path});
    EXPECT_EQ(diff.out.substr(0, diff.out.find('\n') + 1),
              "diff ?]0;owned? -> ?]0;owned?, Lostcount:1?? -> Lostcount:1??\n");
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Controllers, CliTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& make) {
                             return make.param ? "OtherMake" : "Ours";
                         });

}  // namespace
}  // namespace pelvane::cli
