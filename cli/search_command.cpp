// search: the controllers that answer the network search.
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/link.h"
#include "cli/text_format.h"
#include "controller/gbk.h"
#include "controller/link_settings.h"
#include "controller/search_reply.h"
#include "kestrum.h"

namespace pelvane::cli {

namespace {

class SearchCommand final : public Command {
  public:
    CLI::App* Declare(CLI::App& app) override {
        CLI::App* sub = app.add_subcommand("search", "controllers that answer the network search");
        sub->add_option("--time", timeMs_, "milliseconds to wait for answers")
            ->check(CLI::Range(1, 60000))
            ->capture_default_str();
        return sub;
    }

    ExitCode Run(const CliIo& io) const override {
        std::vector<char> found(kSearchBufferSize, '\0');
        const int32_t status = KST_SearchEth(found.data(), kSearchCapacity, timeMs_);
        if (status != 0) {
            io.err << "pelvane-cli: the network search failed: " << StatusText(status) << "\n";
            return kExitLinkFailed;
        }
        found.back() = '\0';
        // Read as the window reads it, but without its cap: a reply that fits the buffer
        // holds fewer addresses than bytes.
        for (const std::string& address : SearchReplyTokens(found.data(), kSearchCapacity))
            io.out << Printable(GbkToUtf8(address)) << "\n";
        return kExitOk;
    }

  private:
    uint32_t timeMs_ = kSearchTimeMs;
};

}  // namespace

std::unique_ptr<Command> MakeSearchCommand() {
    return std::make_unique<SearchCommand>();
}

}  // namespace pelvane::cli
