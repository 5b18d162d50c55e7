#include "node_fields.h"

#include "gbk.h"
#include "node_cells.h"
#include "vendor_table.h"

namespace pelvane::cli {

namespace {

nlohmann::ordered_json Range(int32_t first, int32_t count) {
    return {{"first", first}, {"count", count}};
}

}  // namespace

uint32_t IdNumber(int32_t id) {
    return static_cast<uint32_t>(id);
}

nlohmann::ordered_json NodeIdentityJson(const NodeRecord& record) {
    return {{"node", record.nodeNo},
            {"vendorId", IdNumber(record.vendorId)},
            {"vendorName", VendorNameUtf8(record.vendorId)},
            {"deviceId", IdNumber(record.deviceId)},
            {"switchNo", record.switchNo},
            {"axes", record.axisCount},
            {"inputs", Range(record.ioBase, record.inputCount)},
            {"outputs", Range(record.ioBase, record.outputCount)},
            {"ad", Range(record.aioBase, record.adCount)},
            {"da", Range(record.aioBase, record.daCount)}};
}

std::vector<std::string> NodeIdentityCsvHeader() {
    return {"node",     "vendorId",     "vendorName",   "deviceId",      "switchNo",
            "axes",     "inputs.first", "inputs.count", "outputs.first", "outputs.count",
            "ad.first", "ad.count",     "da.first",     "da.count"};
}

std::vector<std::string> NodeIdentityCsvFields(const NodeRecord& record) {
    using std::to_string;
    return {to_string(record.nodeNo),        to_string(IdNumber(record.vendorId)),
            VendorNameUtf8(record.vendorId), to_string(IdNumber(record.deviceId)),
            to_string(record.switchNo),      to_string(record.axisCount),
            to_string(record.ioBase),        to_string(record.inputCount),
            to_string(record.ioBase),        to_string(record.outputCount),
            to_string(record.aioBase),       to_string(record.adCount),
            to_string(record.aioBase),       to_string(record.daCount)};
}

std::vector<std::string> NodeListHeader() {
    return {"node", "vendor", "device ID", "switch", "axes", "inputs", "outputs", "AD", "DA"};
}

std::vector<std::string> NodeListCells(const NodeRecord& record) {
    std::vector<std::string> cells;
    for (const std::string& cell : NodeInfoCells(record)) cells.push_back(GbkToUtf8(cell));
    return cells;
}

}  // namespace pelvane::cli
