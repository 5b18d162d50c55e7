// The snapshot's JSON and CSV forms; the names are documented and must not drift.
#include <limits>

#include "node_cells.h"
#include "node_fields.h"
#include "snapshot.h"
#include "text_format.h"

namespace pelvane::cli {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

ordered_json NodeJson(const SnapshotNode& node) {
    ordered_json entry = NodeIdentityJson(node.record);
    if (node.counters) {
        entry["counters"] = ordered_json::object();
        for (int k = 0; k < kCounterCount; ++k)
            entry["counters"][CounterName(k)] = (*node.counters)[static_cast<size_t>(k)];
    } else {
        entry["counters"] = nullptr;
    }
    entry["statusWord"] = node.statusWord ? ordered_json(*node.statusWord) : ordered_json();
    return entry;
}

// Integers of the file are untrusted: anything outside 32 bits is refused.
int32_t Int32At(const json& object, const std::string& key, bool asId) {
    const json& value = object.at(key);
    if (!value.is_number_integer()) throw std::invalid_argument(key + ": not an integer");
    const int64_t low = std::numeric_limits<int32_t>::min();
    const int64_t high = asId ? int64_t{std::numeric_limits<uint32_t>::max()}
                              : int64_t{std::numeric_limits<int32_t>::max()};
    const int64_t number = value.is_number_unsigned() && value.get<uint64_t>() > uint64_t{INT64_MAX}
                               ? INT64_MAX
                               : value.get<int64_t>();
    if (number < low || number > high) throw std::invalid_argument(key + ": out of range");
    return static_cast<int32_t>(static_cast<uint32_t>(number));
}

SnapshotNode NodeFromJson(const json& entry) {
    SnapshotNode node;
    NodeRecord& r = node.record;
    r.nodeNo = Int32At(entry, "node", false);
    r.vendorId = Int32At(entry, "vendorId", true);
    r.deviceId = Int32At(entry, "deviceId", true);
    r.switchNo = Int32At(entry, "switchNo", false);
    r.axisCount = Int32At(entry, "axes", false);
    r.ioBase = Int32At(entry.at("inputs"), "first", false);
    r.inputCount = Int32At(entry.at("inputs"), "count", false);
    r.outputCount = Int32At(entry.at("outputs"), "count", false);
    r.aioBase = Int32At(entry.at("ad"), "first", false);
    r.adCount = Int32At(entry.at("ad"), "count", false);
    r.daCount = Int32At(entry.at("da"), "count", false);
    if (!entry.at("counters").is_null()) {
        std::array<int32_t, kCounterCount> counters{};
        for (int k = 0; k < kCounterCount; ++k)
            counters[static_cast<size_t>(k)] = Int32At(entry.at("counters"), CounterName(k), false);
        node.counters = counters;
    }
    if (!entry.at("statusWord").is_null()) node.statusWord = Int32At(entry, "statusWord", false);
    return node;
}

std::string Text(const json& object, const char* key) {
    const json& value = object.at(key);
    if (!value.is_string()) throw std::invalid_argument(std::string(key) + ": not a text");
    return value.get<std::string>();
}

}  // namespace

ordered_json SnapshotToJson(const Snapshot& snapshot) {
    ordered_json nodes = ordered_json::array();
    for (const SnapshotNode& node : snapshot.nodes) nodes.push_back(NodeJson(node));
    return {{"controller",
             {{"address", snapshot.address},
              {"model", snapshot.model},
              {"version", snapshot.version},
              {"id", snapshot.id}}},
            {"time", snapshot.time},
            {"lostcountText", snapshot.lostcountText},
            {"nodes", std::move(nodes)}};
}

std::string SnapshotToCsv(const Snapshot& snapshot) {
    std::vector<std::string> header = {
        "controller.address", "controller.model", "controller.version", "controller.id", "time",
        "lostcountText"};
    for (const std::string& name : NodeIdentityCsvHeader()) header.push_back(name);
    for (int k = 0; k < kCounterCount; ++k)
        header.push_back(std::string("counters.") + CounterName(k));
    header.push_back("statusWord");
    std::string text = CsvLine(header);
    for (const SnapshotNode& node : snapshot.nodes) {
        std::vector<std::string> row = {
            Printable(snapshot.address), Printable(snapshot.model),
            Printable(snapshot.version), Printable(snapshot.id),
            Printable(snapshot.time),    Printable(snapshot.lostcountText)};
        for (std::string& field : NodeIdentityCsvFields(node.record))
            row.push_back(std::move(field));
        for (size_t k = 0; k < kCounterCount; ++k)
            row.push_back(node.counters ? std::to_string((*node.counters)[k]) : "");
        row.push_back(node.statusWord ? std::to_string(*node.statusWord) : "");
        text += CsvLine(row);
    }
    return text;
}

std::optional<Snapshot> SnapshotFromJson(const json& file, std::string* error) {
    try {
        Snapshot snapshot;
        const json& controller = file.at("controller");
        snapshot.address = Text(controller, "address");
        snapshot.model = Text(controller, "model");
        snapshot.version = Text(controller, "version");
        snapshot.id = Text(controller, "id");
        snapshot.time = Text(file, "time");
        snapshot.lostcountText = Text(file, "lostcountText");
        const json& nodes = file.at("nodes");
        if (!nodes.is_array() || nodes.size() > kNodeTableSize)
            throw std::invalid_argument("nodes: not a list of at most 256 nodes");
        for (const json& entry : nodes) snapshot.nodes.push_back(NodeFromJson(entry));
        return snapshot;
    } catch (const std::exception& e) {
        *error = e.what();
        return std::nullopt;
    }
}

}  // namespace pelvane::cli
