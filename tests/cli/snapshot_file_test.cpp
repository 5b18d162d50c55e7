// Snapshot files read back: unread values stay unread, a bad file is refused by name, files of
// the older format still load, and diff compares what both sides read.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/snapshot.h"

namespace pelvane::cli {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Node 0 fully read but for its vendor ID, whose slot still holds an older node's ID,
// and counters 301H, 30DH and 310H..312H; node 1 beyond what one poll holds.
Snapshot PartlyRead() {
    Snapshot snapshot{"127.0.0.1",   "KSM464", "20261101", "00012345", "2026-12-07T23:21:27Z",
                      "Lostcount:3", {}};
    SnapshotNode node;
    node.record = {0, 1051, 196612, 5, 0, 48, 4, 4, 0, 4, 2, {}};
    node.read.set();
    node.read[kSlotVendorId] = false;
    node.counters = CounterReadings{1, std::nullopt, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    (*node.counters)[LostLinkRegister(3)] = 255;
    node.statusWord = 0;
    node.dlStatus = 0xFFFF;
    snapshot.nodes.push_back(node);
    node.record.nodeNo = 1;
    node.read.set();
    node.counters.reset();
    node.statusWord.reset();
    node.dlStatus.reset();
    snapshot.nodes.push_back(node);
    return snapshot;
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string Edited(const std::function<void(ordered_json&)>& edit) {
    ordered_json file = SnapshotToJson(PartlyRead());
    edit(file);
    return file.dump();
}

TEST(SnapshotFile, RefusesWhatIsNotASnapshotNamingTheField) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string reason;
    };
    const Case cases[] = {
        {"array", "[]", "not an object"},
        {"missing", Edited([](auto& f) { f["controller"].erase("address"); }),
         "controller.address: missing"},
        {"time", Edited([](auto& f) { f["time"] = 5; }), "time: not a text"},
        {"nodes", Edited([](auto& f) { f["nodes"] = ordered_json::object(); }),
         "nodes: not a list"},
        {"entry", Edited([](auto& f) { f["nodes"][1] = 3; }), "nodes[1]: not an object"},
        {"range", Edited([](auto& f) { f["nodes"][0]["inputs"] = nullptr; }),
         "nodes[0].inputs: not an object"},
        {"text", Edited([](auto& f) { f["nodes"][0]["counters"]["300H"] = "7"; }),
         "nodes[0].counters.300H: not a number"},
        {"id", Edited([](auto& f) { f["nodes"][1]["vendorId"] = 4294967296; }),
         "nodes[1].vendorId: out of range"},
        {"int", Edited([](auto& f) { f["nodes"][1]["switchNo"] = 2147483648; }),
         "nodes[1].switchNo: out of range"},
        {"huge int", Edited([](auto& f) { f["nodes"][1]["axes"] = 1e30; }),
         "nodes[1].axes: out of range"},
        {"fraction", Edited([](auto& f) { f["nodes"][0]["counters"]["302H"] = 7.5; }),
         "nodes[0].counters.302H: not an integer"},
        {"boolean", Edited([](auto& f) { f["nodes"][0]["statusWord"] = true; }),
         "nodes[0].statusWord: not a number"},
        {"dl status", Edited([](auto& f) { f["nodes"][0]["dlStatus"] = 65536; }),
         "nodes[0].dlStatus: out of range"},
        {"no dl status", Edited([](auto& f) { f["nodes"][1].erase("dlStatus"); }),
         "nodes[1].dlStatus: missing"},
        {"extended", Edited([](auto& f) { f["nodes"][0]["counters"]["30CH"] = "x"; }),
         "nodes[0].counters.30CH: not a number"},
        {"no 313H", Edited([](auto& f) { f["nodes"][0]["counters"].erase("313H"); }),
         "nodes[0].counters.313H: missing"},
        {"newer", Edited([](auto& f) { f["format"] = 3; }),
         "format: 3 is newer than this pelvane-cli reads (up to 2)"},
        {"format", Edited([](auto& f) { f["format"] = "2"; }), "format: not a number"},
        {"many",
         Edited([](auto& f) { f["nodes"] = std::vector<ordered_json>(257, f["nodes"][1]); }),
         "nodes: more than 256 nodes"},
        {"deep", std::string(100000, '['), "nested deeper than a snapshot can be"},
        {"deep in text", "[\"\\\"[[[[[[[[[[\"]", "not an object"},
        {"large", Edited([](auto&) {}) + std::string((16 << 20) + 1, ' '),
         "larger than a snapshot can be"},
        {"not json", "{\"time\": tru}", "not JSON (at byte 13)"},
        {"overflow", "[1e999]", "not JSON (a number too large)"},
    };
    for (const Case& c : cases) {
        const std::string path = WriteFile(std::string("snapshot ") + c.name + ".json", c.bytes);
        std::ostringstream out, err;
        EXPECT_FALSE(LoadSnapshot(path, CliIo{out, err})) << c.name;
        EXPECT_EQ(err.str(), "pelvane-cli: " + path + ": " + c.reason + "\n") << c.name;
        std::remove(path.c_str());
    }
    for (const std::string& path :
         {::testing::TempDir() + "no such snapshot.json", ::testing::TempDir()}) {
        std::ostringstream out, err;
        EXPECT_FALSE(LoadSnapshot(path, CliIo{out, err})) << path;
        EXPECT_EQ(err.str(), "pelvane-cli: " + path + ": cannot be read\n");
    }
}

TEST(SnapshotFile, UnreadValuesStayUnreadThroughTheFile) {
    const Snapshot written = PartlyRead();
    const ordered_json file = SnapshotToJson(written);
    EXPECT_TRUE(file["nodes"][0]["vendorId"].is_null());
    EXPECT_TRUE(file["nodes"][0]["vendorName"].is_null());
    EXPECT_TRUE(file["nodes"][0]["counters"]["301H"].is_null());
    EXPECT_EQ(file["nodes"][1]["vendorId"], 1051);

    const std::string path = WriteFile("snapshot partly read.json", file.dump(2));
    std::ostringstream out, err;
    const auto read = LoadSnapshot(path, CliIo{out, err});
    std::remove(path.c_str());
    ASSERT_TRUE(read) << err.str();
    ASSERT_EQ(read->nodes.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const SnapshotNode& before = written.nodes[i];
        const SnapshotNode& after = read->nodes[i];
        EXPECT_EQ(after.read, before.read) << i;
        for (int slot = 0; slot < kReadSlotCount; ++slot)
            if (before.read[static_cast<size_t>(slot)]) {
                EXPECT_EQ(Slot(after.record, slot), Slot(before.record, slot)) << i;
            }
        EXPECT_EQ(after.counters, before.counters) << i;
        EXPECT_EQ(after.statusWord, before.statusWord) << i;
        EXPECT_EQ(after.dlStatus, before.dlStatus) << i;
    }

    std::istringstream csv(SnapshotToCsv(written));
    std::string header, row;
    std::getline(csv, header);
    std::getline(csv, row);
    EXPECT_EQ(row,
              "127.0.0.1,KSM464,20261101,00012345,2026-12-07T23:21:27Z,Lostcount:3,"
              "0,,,196612,5,0,48,4,48,4,0,4,0,2,1,,3,4,0,5,6,7,8,9,10,11,12,13,,,,,255,"
              "65535");

    // Older files wrote IDs signed; they are the same unsigned pattern.
    json old = json::parse(file.dump());
    old["nodes"][1]["deviceId"] = -1;
    std::string error;
    const auto signedIds = SnapshotFromJson(old, &error);
    ASSERT_TRUE(signedIds) << error;
    EXPECT_EQ(SnapshotToJson(*signedIds)["nodes"][1]["deviceId"], 4294967295u);
}

// Two nodes with every counter 0, Node1 on Node0's port 2 by their DL status: ESC ports 0
// and 1 with communication and an open loop (0A00H), Node1 only port 0 (0200H).
Snapshot TwoNodes() {
    Snapshot snapshot{"127.0.0.1",   "KSM464", "20261101", "00012345", "2026-12-07T23:21:27Z",
                      "Lostcount:3", {}};
    for (int32_t i = 0; i < 2; ++i) {
        SnapshotNode node;
        node.record = {i, 1051, 196612, i, 0, 0, 0, 0, 0, 0, 0, {}};
        node.read.set();
        node.counters.emplace();
        for (int reg = 0; reg < kRegisterCount; ++reg)
            if (RegisterIsCounter(reg)) (*node.counters)[static_cast<size_t>(reg)] = 0;
        node.statusWord = 0;
        node.dlStatus = i == 0 ? 0x0A00 : 0x0200;
        snapshot.nodes.push_back(node);
    }
    return snapshot;
}

// As written before there was a format: no DL status, no counter past 303H.
ordered_json AsFormat1(ordered_json file) {
    file.erase("format");
    for (ordered_json& node : file["nodes"]) {
        node.erase("dlStatus");
        ordered_json& counters = node["counters"];
        for (auto it = counters.begin(); it != counters.end();)
            it = it.key() < "304H" ? std::next(it) : counters.erase(it);
    }
    return file;
}

TEST(SnapshotFile, AFileOfFormatOneLoadsWithTheNewFieldsUnknown) {
    ordered_json file = AsFormat1(SnapshotToJson(TwoNodes()));
    file["nodes"][0]["counters"]["30CH"] = 9;  // not a field of format 1: ignored
    file["nodes"][0]["dlStatus"] = 512;
    std::string error;
    const auto read = SnapshotFromJson(json::parse(file.dump()), &error);
    ASSERT_TRUE(read) << error;
    for (const SnapshotNode& node : read->nodes) {
        EXPECT_FALSE(node.dlStatus);
        ASSERT_TRUE(node.counters);
        for (int reg = 0; reg < kRegisterCount; ++reg)
            EXPECT_EQ((*node.counters)[static_cast<size_t>(reg)].has_value(), reg < 4) << reg;
    }
    file["format"] = 1;
    EXPECT_TRUE(SnapshotFromJson(json::parse(file.dump()), &error)) << error;
}

struct DiffResult {
    int code;
    std::string out;
};

DiffResult Diff(const ordered_json& older, const ordered_json& newer) {
    const std::string oldPath = WriteFile("diff old.json", older.dump());
    const std::string newPath = WriteFile("diff new.json", newer.dump());
    const char* argv[] = {"pelvane-cli", "diff", oldPath.c_str(), newPath.c_str()};
    std::ostringstream out, err;
    const int code = RunCli(4, argv, CliIo{out, err});
    std::remove(oldPath.c_str());
    std::remove(newPath.c_str());
    return {code, out.str() + err.str()};
}

TEST(SnapshotFile, DiffComparesOnlyWhatBothSidesReadAndTellsMovedNodes) {
    const ordered_json plain = SnapshotToJson(TwoNodes());
    ordered_json busy = plain;  // counts of its own on Node1, unknown to a format 1 file
    busy["nodes"][1]["counters"]["30CH"] = 40;
    busy["nodes"][1]["counters"]["310H"] = 3;
    ordered_json moved = plain;  // Node0's port 3 (ESC port 2) instead of its port 2
    moved["nodes"][0]["dlStatus"] = 0x2200;
    moved["nodes"][0]["counters"]["30CH"] = nullptr;
    struct Case {
        const char* name;
        ordered_json older, newer;
        int code;
        std::vector<std::string> found, absent;
    };
    const Case cases[] = {
        {"format 1 to 2",
         AsFormat1(plain),
         busy,
         0,
         {"\n  counters past 303H: none in OLD, not compared\n"
          "topology: not reported in OLD, moves between ports not judged\n"
          "verdict: bus clean"},
         {"30CH", "310H", "unread"}},
        {"format 2 to 1",
         busy,
         AsFormat1(plain),
         0,
         {"\n  counters past 303H: none in NEW, not compared\n"
          "topology: not reported by the controller, read as a line\nverdict: bus clean"},
         {"30CH", "unread"}},
        {"moved",
         plain,
         moved,
         4,
         {"bus: 2 nodes, differs from the reference\n"
          "  Node1 moved: was on Node0 port 2, now on Node0 port 3\n"
          "  Node0 30CH unread in NEW, not compared\nverdict: bus clean"},
         {"topology:"}},
        {"moved without a tree", AsFormat1(plain), moved, 0, {"as expected"}, {"moved"}},
    };
    for (const Case& c : cases) {
        const DiffResult diff = Diff(c.older, c.newer);
        EXPECT_EQ(diff.code, c.code) << c.name << "\n" << diff.out;
        for (const std::string& text : c.found)
            EXPECT_NE(diff.out.find(text), std::string::npos) << c.name << "\n" << diff.out;
        for (const std::string& text : c.absent)
            EXPECT_EQ(diff.out.find(text), std::string::npos) << c.name << "\n" << diff.out;
    }
}

}  // namespace
}  // namespace pelvane::cli
