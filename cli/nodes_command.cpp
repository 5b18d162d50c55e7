// nodes: the node list's columns for every node.
#include <vector>

#include "commands.h"
#include "link.h"
#include "node_fields.h"
#include "text_format.h"

namespace pelvane::cli {

namespace {

void PrintNodes(int32_t count, const std::string& format, const CliIo& io) {
    const auto records = std::vector<NodeRecord>(g_nodeTable.begin(), g_nodeTable.begin() + count);
    if (format == "json") {
        nlohmann::ordered_json nodes = nlohmann::ordered_json::array();
        for (const NodeRecord& record : records) nodes.push_back(NodeIdentityJson(record));
        io.out << nodes.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else if (format == "csv") {
        io.out << CsvLine(NodeIdentityCsvHeader());
        for (const NodeRecord& record : records) io.out << CsvLine(NodeIdentityCsvFields(record));
    } else {
        std::vector<std::vector<std::string>> rows = {NodeListHeader()};
        for (const NodeRecord& record : records) rows.push_back(NodeListCells(record));
        for (const std::string& line : AlignedTable(rows)) io.out << line << "\n";
    }
}

}  // namespace

ExitCode RunNodes(const std::string& address, const std::string& format, const CliIo& io) {
    ControllerLink link;
    if (const ExitCode code = link.Open(address, io); code != kExitOk) return code;
    const auto count = ReadNodeTableOnLiveLink(address, io);
    if (!count) return kExitLinkFailed;
    PrintNodes(*count, format, io);
    return kExitOk;
}

}  // namespace pelvane::cli
