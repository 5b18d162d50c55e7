// nodes: the node list's columns for every node, and its drive status word.
#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_options.h"
#include "cli/commands.h"
#include "cli/link.h"
#include "cli/node_fields.h"
#include "cli/text_format.h"
#include "nodes/error_poll.h"

namespace pelvane::cli {

namespace {

// Each node's drive status word as a snapshot's poll reads it; none when unread.
std::vector<std::optional<int32_t>> ReadStatusWords(size_t count) {
    std::vector<std::optional<int32_t>> words;
    int32_t status = 0;
    for (size_t i = 0; i < count; ++i) {
        const int32_t word = PollStatusWord(static_cast<int32_t>(i), status);
        words.push_back(word == kStatusWordUnread ? std::nullopt : std::optional(word));
    }
    return words;
}

// A value the controller would not give is null, empty or "unread", never the 0 or the
// stale number its slot still holds.
void PrintNodes(const std::vector<NodeSlotsRead>& slotsRead,
                const std::vector<std::optional<int32_t>>& statusWords, const std::string& format,
                const CliIo& io) {
    const auto& table = g_nodeTable;
    if (format == "json") {
        nlohmann::ordered_json nodes = nlohmann::ordered_json::array();
        for (size_t i = 0; i < slotsRead.size(); ++i) {
            nodes.push_back(NodeIdentityJson(table[i], slotsRead[i]));
            nodes.back()["statusWord"] = StatusWordJson(statusWords[i]);
        }
        io.out << nodes.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else if (format == "csv") {
        std::vector<std::string> header = NodeIdentityCsvHeader();
        header.emplace_back("statusWord");
        io.out << CsvLine(header);
        for (size_t i = 0; i < slotsRead.size(); ++i) {
            std::vector<std::string> row = NodeIdentityCsvFields(table[i], slotsRead[i]);
            row.push_back(StatusWordCsv(statusWords[i]));
            io.out << CsvLine(row);
        }
    } else {
        std::vector<std::vector<std::string>> rows = {NodeListHeader()};
        rows[0].emplace_back("status word");
        for (size_t i = 0; i < slotsRead.size(); ++i) {
            rows.push_back(NodeListCells(table[i], slotsRead[i]));
            rows.back().push_back(StatusWordText(statusWords[i].value_or(kStatusWordUnread)));
        }
        for (const std::string& line : AlignedTable(rows)) io.out << line << "\n";
    }
}

class NodesCommand final : public Command {
  public:
    CLI::App* Declare(CLI::App& app) override {
        CLI::App* sub = AddAddressedSubcommand(
            app, "nodes", "the node list of every node, with its drive status word", address_);
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
        const auto statusWords = ReadStatusWords(slotsRead.size());
        // A failed link reads as unread words; only a question after them tells.
        if (!LinkHolds(address_, io)) return kExitLinkFailed;
        PrintNodes(slotsRead, statusWords, format_, io);
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
