// nodes: the node list's columns for every node.
#include <vector>

#include "commands.h"
#include "link.h"
#include "node_fields.h"
#include "text_format.h"

namespace pelvane::cli {

namespace {

// A value the controller would not give is null, empty or "unread", never the 0 or the
// stale number its slot still holds.
void PrintNodes(const std::vector<NodeSlotsRead>& slotsRead, const std::string& format,
                const CliIo& io) {
    const auto& table = g_nodeTable;
    if (format == "json") {
        nlohmann::ordered_json nodes = nlohmann::ordered_json::array();
        for (size_t i = 0; i < slotsRead.size(); ++i)
            nodes.push_back(NodeIdentityJson(table[i], slotsRead[i]));
        io.out << nodes.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else if (format == "csv") {
        io.out << CsvLine(NodeIdentityCsvHeader());
        for (size_t i = 0; i < slotsRead.size(); ++i)
            io.out << CsvLine(NodeIdentityCsvFields(table[i], slotsRead[i]));
    } else {
        std::vector<std::vector<std::string>> rows = {NodeListHeader()};
        for (size_t i = 0; i < slotsRead.size(); ++i)
            rows.push_back(NodeListCells(table[i], slotsRead[i]));
        for (const std::string& line : AlignedTable(rows)) io.out << line << "\n";
    }
}

}  // namespace

ExitCode RunNodes(const std::string& address, const std::string& format, const CliIo& io) {
    ControllerLink link;
    if (const ExitCode code = link.Open(address, io); code != kExitOk) return code;
    std::vector<NodeSlotsRead> slotsRead;
    if (!ReadNodeTableOnLiveLink(address, io, &slotsRead)) return kExitLinkFailed;
    PrintNodes(slotsRead, format, io);
    return kExitOk;
}

}  // namespace pelvane::cli
