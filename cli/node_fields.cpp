#include "cli/node_fields.h"

#include <array>

#include "controller/gbk.h"
#include "nodes/error_poll.h"
#include "nodes/node_cells.h"
#include "nodes/vendor_table.h"

namespace pelvane::cli {

namespace {

using nlohmann::ordered_json;

// An unread slot still holds a stale number or 0: it must never pass for a reading.
ordered_json JsonOf(const NodeRecord& record, NodeSlotsRead read, int slot) {
    return read[static_cast<size_t>(slot)] ? ordered_json(Slot(record, slot)) : ordered_json();
}

ordered_json IdJsonOf(const NodeRecord& record, NodeSlotsRead read, int slot) {
    return read[static_cast<size_t>(slot)] ? ordered_json(IdNumber(Slot(record, slot)))
                                           : ordered_json();
}

std::string CellOf(const NodeRecord& record, NodeSlotsRead read, int slot) {
    return read[static_cast<size_t>(slot)] ? std::to_string(Slot(record, slot)) : "";
}

std::string IdCellOf(const NodeRecord& record, NodeSlotsRead read, int slot) {
    return read[static_cast<size_t>(slot)] ? std::to_string(IdNumber(Slot(record, slot))) : "";
}

ordered_json Range(const NodeRecord& record, NodeSlotsRead read, int first, int count) {
    return {{"first", JsonOf(record, read, first)}, {"count", JsonOf(record, read, count)}};
}

}  // namespace

uint32_t IdNumber(int32_t id) {
    return static_cast<uint32_t>(id);
}

ordered_json NodeIdentityJson(const NodeRecord& record, NodeSlotsRead read) {
    const bool vendorRead = read[kSlotVendorId];
    return {
        {"node", record.nodeNo},
        {"vendorId", IdJsonOf(record, read, kSlotVendorId)},
        {"vendorName", vendorRead ? ordered_json(VendorNameUtf8(record.vendorId)) : ordered_json()},
        {"deviceId", IdJsonOf(record, read, kSlotDeviceId)},
        {"switchNo", JsonOf(record, read, kSlotSwitchNo)},
        {"axes", JsonOf(record, read, kSlotAxisCount)},
        {"inputs", Range(record, read, kSlotIoBase, kSlotInputCount)},
        {"outputs", Range(record, read, kSlotIoBase, kSlotOutputCount)},
        {"ad", Range(record, read, kSlotAioBase, kSlotAdCount)},
        {"da", Range(record, read, kSlotAioBase, kSlotDaCount)}};
}

std::vector<std::string> NodeIdentityCsvHeader() {
    return {"node",     "vendorId",     "vendorName",   "deviceId",      "switchNo",
            "axes",     "inputs.first", "inputs.count", "outputs.first", "outputs.count",
            "ad.first", "ad.count",     "da.first",     "da.count"};
}

std::vector<std::string> NodeIdentityCsvFields(const NodeRecord& record, NodeSlotsRead read) {
    const bool vendorRead = read[kSlotVendorId];
    return {std::to_string(record.nodeNo),
            IdCellOf(record, read, kSlotVendorId),
            vendorRead ? VendorNameUtf8(record.vendorId) : "",
            IdCellOf(record, read, kSlotDeviceId),
            CellOf(record, read, kSlotSwitchNo),
            CellOf(record, read, kSlotAxisCount),
            CellOf(record, read, kSlotIoBase),
            CellOf(record, read, kSlotInputCount),
            CellOf(record, read, kSlotIoBase),
            CellOf(record, read, kSlotOutputCount),
            CellOf(record, read, kSlotAioBase),
            CellOf(record, read, kSlotAdCount),
            CellOf(record, read, kSlotAioBase),
            CellOf(record, read, kSlotDaCount)};
}

std::vector<std::string> NodeListHeader() {
    return {"node", "vendor", "device ID", "switch", "axes", "inputs", "outputs", "AD", "DA"};
}

std::vector<std::string> NodeListCells(const NodeRecord& record, NodeSlotsRead read) {
    // The slots behind each cell after the node number, in the list's order.
    static constexpr std::array<std::array<int, 2>, 8> kCellSlots = {{
        {kSlotVendorId, kSlotVendorId},
        {kSlotDeviceId, kSlotDeviceId},
        {kSlotSwitchNo, kSlotSwitchNo},
        {kSlotAxisCount, kSlotAxisCount},
        {kSlotIoBase, kSlotInputCount},
        {kSlotIoBase, kSlotOutputCount},
        {kSlotAioBase, kSlotAdCount},
        {kSlotAioBase, kSlotDaCount},
    }};
    std::vector<std::string> cells;
    for (const std::string& cell : NodeInfoCells(record)) cells.push_back(GbkToUtf8(cell));
    for (size_t i = 0; i < kCellSlots.size() && i + 1 < cells.size(); ++i) {
        const auto [a, b] = kCellSlots[i];
        if (!read[static_cast<size_t>(a)] || !read[static_cast<size_t>(b)]) cells[i + 1] = "unread";
    }
    return cells;
}

std::string StatusWordText(int32_t statusWord) {
    return statusWord == kStatusWordUnread ? "unread" : FormatHex(statusWord);
}

ordered_json StatusWordJson(std::optional<int32_t> statusWord) {
    return statusWord ? ordered_json(*statusWord) : ordered_json();
}

std::string StatusWordCsv(std::optional<int32_t> statusWord) {
    return statusWord ? std::to_string(*statusWord) : "";
}

}  // namespace pelvane::cli
