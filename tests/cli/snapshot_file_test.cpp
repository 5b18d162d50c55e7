// Snapshot files read back: unread values stay unread, and a bad file is refused by name.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "cli/snapshot.h"

namespace pelvane::cli {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// Node 0 fully read but for its vendor ID, whose slot still holds an older node's ID,
// and counter 301H; node 1 beyond what one poll holds.
Snapshot PartlyRead() {
    Snapshot snapshot{"127.0.0.1",   "KSM464", "20261101", "00012345", "2026-12-07T23:21:27Z",
                      "Lostcount:3", {}};
    SnapshotNode node;
    node.record = {0, 1051, 196612, 5, 0, 48, 4, 4, 0, 4, 2, {}};
    node.read.set();
    node.read[kSlotVendorId] = false;
    node.counters = CounterReadings{1, std::nullopt, 3, 4};
    node.statusWord = 0;
    snapshot.nodes.push_back(node);
    node.record.nodeNo = 1;
    node.read.set();
    node.counters.reset();
    node.statusWord.reset();
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
    }

    std::istringstream csv(SnapshotToCsv(written));
    std::string header, row;
    std::getline(csv, header);
    std::getline(csv, row);
    EXPECT_EQ(row,
              "127.0.0.1,KSM464,20261101,00012345,2026-12-07T23:21:27Z,Lostcount:3,"
              "0,,,196612,5,0,48,4,48,4,0,4,0,2,1,,3,4,0");

    // Older files wrote IDs signed; they are the same unsigned pattern.
    json old = json::parse(file.dump());
    old["nodes"][1]["deviceId"] = -1;
    std::string error;
    const auto signedIds = SnapshotFromJson(old, &error);
    ASSERT_TRUE(signedIds) << error;
    EXPECT_EQ(SnapshotToJson(*signedIds)["nodes"][1]["deviceId"], 4294967295u);
}

}  // namespace
}  // namespace pelvane::cli
