// The snapshot's JSON and CSV forms; the names are documented and must not drift.
#include <cmath>
#include <limits>

#include "cli/node_fields.h"
#include "cli/snapshot.h"
#include "cli/text_format.h"
#include "nodes/node_cells.h"
#include "nodes/registers.h"

namespace pelvane::cli {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// The registers a file of this format holds per node: 300H..303H, then in format 2 every
// counter up to 313H. 30EH/30FH hold an error code, no count. A register the table gains
// past 313H waits for a format of its own, so that format 2's files keep their fields.
constexpr int kFormat2Registers = 0x14;  // 300H..313H
static_assert(kFormat2Registers <= kRegisterCount);

bool InFormat(int reg, int format) {
    return RegisterIsCounter(reg) && reg < (format >= 2 ? kFormat2Registers : kCounterCount);
}

ordered_json NodeJson(const SnapshotNode& node) {
    ordered_json entry = NodeIdentityJson(node.record, node.read);
    if (node.counters) {
        entry["counters"] = ordered_json::object();
        for (int reg = 0; reg < kRegisterCount; ++reg) {
            if (!InFormat(reg, kSnapshotFormat)) continue;
            const std::optional<int32_t>& counter = (*node.counters)[static_cast<size_t>(reg)];
            entry["counters"][RegisterName(reg)] =
                counter ? ordered_json(*counter) : ordered_json();
        }
    } else {
        entry["counters"] = nullptr;
    }
    entry["statusWord"] = StatusWordJson(node.statusWord);
    entry["dlStatus"] = node.dlStatus ? ordered_json(*node.dlStatus) : ordered_json();
    return entry;
}

// The file is untrusted; the reason names the field by its path so it can be found.
struct FieldError {
    std::string text;
};

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) {
    throw FieldError{path.empty() ? reason : path + ": " + reason};
}

struct Field {
    const json& value;
    std::string path;
};

Field Member(const Field& object, const std::string& key) {
    if (!object.value.is_object()) Refuse(object.path, "not an object");
    std::string path = object.path.empty() ? key : object.path + "." + key;
    const auto it = object.value.find(key);
    if (it == object.value.end()) Refuse(path, "missing");
    return {*it, std::move(path)};
}

std::string Text(const Field& object, const char* key) {
    const Field field = Member(object, key);
    if (!field.value.is_string()) Refuse(field.path, "not a text");
    return field.value.get_ref<const std::string&>();
}

int64_t Integer(const Field& field, int64_t low, int64_t high) {
    const json& value = field.value;
    if (value.is_number_unsigned()) {
        const auto number = value.get_ref<const json::number_unsigned_t&>();
        if (number > static_cast<uint64_t>(high)) Refuse(field.path, "out of range");
        return static_cast<int64_t>(number);
    }
    if (value.is_number_integer()) {
        const auto number = value.get_ref<const json::number_integer_t&>();
        if (number < low || number > high) Refuse(field.path, "out of range");
        return number;
    }
    if (value.is_number_float()) {
        // Integers beyond 64 bits arrive as floats.
        const double number = value.get_ref<const json::number_float_t&>();
        if (number == std::trunc(number) &&
            (number < static_cast<double>(low) || number > static_cast<double>(high)))
            Refuse(field.path, "out of range");
        Refuse(field.path, "not an integer");
    }
    Refuse(field.path, "not a number");
}

// IDs are written as their unsigned pattern; a signed one, as older files may hold it,
// is the same pattern.
int32_t Int32(const Field& field, bool asId) {
    constexpr int64_t low = std::numeric_limits<int32_t>::min();
    const int64_t high = asId ? int64_t{std::numeric_limits<uint32_t>::max()}
                              : int64_t{std::numeric_limits<int32_t>::max()};
    return static_cast<int32_t>(static_cast<uint32_t>(Integer(field, low, high)));
}

std::optional<int32_t> Int32OrNull(const Field& field, bool asId) {
    if (field.value.is_null()) return std::nullopt;
    return Int32(field, asId);
}

struct SlotField {
    int slot;
    const char* range;  // the object holding key, or none
    const char* key;
    bool asId;
};

// ioBase and aioBase are written twice; either place brings them.
constexpr SlotField kSlotFields[] = {
    {kSlotVendorId, nullptr, "vendorId", true},  {kSlotDeviceId, nullptr, "deviceId", true},
    {kSlotSwitchNo, nullptr, "switchNo", false}, {kSlotAxisCount, nullptr, "axes", false},
    {kSlotIoBase, "inputs", "first", false},     {kSlotInputCount, "inputs", "count", false},
    {kSlotIoBase, "outputs", "first", false},    {kSlotOutputCount, "outputs", "count", false},
    {kSlotAioBase, "ad", "first", false},        {kSlotAdCount, "ad", "count", false},
    {kSlotAioBase, "da", "first", false},        {kSlotDaCount, "da", "count", false},
};

SnapshotNode NodeFromJson(const Field& entry, int format) {
    SnapshotNode node;
    node.record.nodeNo = Int32(Member(entry, "node"), false);
    node.read[kSlotNodeNo] = true;
    for (const SlotField& slot : kSlotFields) {
        const Field field =
            slot.range ? Member(Member(entry, slot.range), slot.key) : Member(entry, slot.key);
        const auto value = Int32OrNull(field, slot.asId);
        const auto index = static_cast<size_t>(slot.slot);
        if (!value || node.read[index]) continue;
        Slot(node.record, slot.slot) = *value;
        node.read[index] = true;
    }
    const Field vendorName = Member(entry, "vendorName");
    if (!vendorName.value.is_null() && !vendorName.value.is_string())
        Refuse(vendorName.path, "not a text");
    const Field counters = Member(entry, "counters");
    if (!counters.value.is_null()) {
        node.counters.emplace();
        for (int reg = 0; reg < kRegisterCount; ++reg)
            if (InFormat(reg, format))
                (*node.counters)[static_cast<size_t>(reg)] =
                    Int32OrNull(Member(counters, RegisterName(reg)), false);
    }
    node.statusWord = Int32OrNull(Member(entry, "statusWord"), false);
    if (format >= 2) {
        const Field dlStatus = Member(entry, "dlStatus");
        if (!dlStatus.value.is_null())
            node.dlStatus =
                static_cast<uint16_t>(Integer(dlStatus, 0, std::numeric_limits<uint16_t>::max()));
    }
    return node;
}

std::string CounterCell(const SnapshotNode& node, size_t reg) {
    const bool read = node.counters && (*node.counters)[reg];
    return read ? std::to_string(*(*node.counters)[reg]) : "";
}

// A file without "format" is of format 1, written before there was one.
int FormatOf(const Field& root) {
    if (!root.value.is_object()) Refuse(root.path, "not an object");
    if (!root.value.contains("format")) return 1;
    const Field field = Member(root, "format");
    const int64_t format = Integer(field, 1, std::numeric_limits<int64_t>::max());
    if (format > kSnapshotFormat)
        Refuse(field.path, std::to_string(format) +
                               " is newer than this pelvane-cli reads (up to " +
                               std::to_string(kSnapshotFormat) + ")");
    return static_cast<int>(format);
}

}  // namespace

ordered_json SnapshotToJson(const Snapshot& snapshot) {
    ordered_json nodes = ordered_json::array();
    for (const SnapshotNode& node : snapshot.nodes) nodes.push_back(NodeJson(node));
    return {{"format", kSnapshotFormat},
            {"controller",
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
    for (int k = 0; k < kCounterCount; ++k) header.push_back("counters." + RegisterName(k));
    header.push_back("statusWord");
    // Format 2's fields come last, so a reader of the older columns finds them in place.
    for (int reg = kCounterCount; reg < kRegisterCount; ++reg)
        if (InFormat(reg, kSnapshotFormat)) header.push_back("counters." + RegisterName(reg));
    header.push_back("dlStatus");
    std::string text = CsvLine(header);
    for (const SnapshotNode& node : snapshot.nodes) {
        std::vector<std::string> row = {
            Printable(snapshot.address), Printable(snapshot.model),
            Printable(snapshot.version), Printable(snapshot.id),
            Printable(snapshot.time),    Printable(snapshot.lostcountText)};
        for (std::string& field : NodeIdentityCsvFields(node.record, node.read))
            row.push_back(std::move(field));
        for (size_t k = 0; k < kCounterCount; ++k) row.push_back(CounterCell(node, k));
        row.push_back(StatusWordCsv(node.statusWord));
        for (int reg = kCounterCount; reg < kRegisterCount; ++reg)
            if (InFormat(reg, kSnapshotFormat))
                row.push_back(CounterCell(node, static_cast<size_t>(reg)));
        row.push_back(node.dlStatus ? std::to_string(*node.dlStatus) : "");
        text += CsvLine(row);
    }
    return text;
}

std::optional<Snapshot> SnapshotFromJson(const json& file, std::string* error) {
    try {
        const Field root{file, ""};
        const int format = FormatOf(root);
        Snapshot snapshot;
        const Field controller = Member(root, "controller");
        snapshot.address = Text(controller, "address");
        snapshot.model = Text(controller, "model");
        snapshot.version = Text(controller, "version");
        snapshot.id = Text(controller, "id");
        snapshot.time = Text(root, "time");
        snapshot.lostcountText = Text(root, "lostcountText");
        const Field nodes = Member(root, "nodes");
        if (!nodes.value.is_array()) Refuse(nodes.path, "not a list");
        if (nodes.value.size() > kNodeTableSize)
            Refuse(nodes.path, "more than " + std::to_string(kNodeTableSize) + " nodes");
        for (size_t i = 0; i < nodes.value.size(); ++i)
            snapshot.nodes.push_back(
                NodeFromJson({nodes.value[i], "nodes[" + std::to_string(i) + "]"}, format));
        return snapshot;
    } catch (const FieldError& e) {
        *error = e.text;
        return std::nullopt;
    }
}

}  // namespace pelvane::cli
