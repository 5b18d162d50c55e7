// nodes: the node list's columns for every node.
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/command_options.h"
#include "cli/commands.h"
#include "cli/link.h"
#include "cli/node_fields.h"
#include "cli/text_format.h"

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

class NodesCommand final : public Command {
  public:
    CLI::App* Declare(CLI::App& app) override {
        CLI::App* sub =
            AddAddressedSubcommand(app, "nodes", "the node list of every node", address_);
        sub->add_option("--format", format_, "table, json or csv")
            ->check(CLI::IsMember({"table", "json", "csv"}))
            ->capture_default_str();
        return sub;
    }

    ExitCode Run(const CliIo& io) const override {
        ControllerLink link;
        if (const ExitCode code = link.Open(address_, io); code != kExitOk) return code;
        std::vector<NodeSlotsRead> slotsRead;
        if (!ReadNodeTableOnLiveLink(address_, io, &slotsRead)) return kExitLinkFailed;
        PrintNodes(slotsRead, format_, io);
        return kExitOk;
    }

  private:
    std::string address_, format_ = "table";
};

}  // namespace

std::unique_ptr<Command> MakeNodesCommand() {
    return std::make_unique<NodesCommand>();
}

}  // namespace pelvane::cli
