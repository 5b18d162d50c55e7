// info: who the controller is.
#include <CLI/CLI.hpp>
#include <string>

#include "cli/command_options.h"
#include "cli/commands.h"
#include "cli/link.h"
#include "cli/snapshot.h"
#include "cli/text_format.h"

namespace pelvane::cli {

namespace {

class InfoCommand final : public Command {
  public:
    CLI::App* Declare(CLI::App& app) override {
        return AddAddressedSubcommand(app, "info", "model, version and ID", address_);
    }

    ExitCode Run(const CliIo& io) const override {
        ControllerLink link;
        if (const ExitCode code = link.Open(address_, io); code != kExitOk) return code;
        Snapshot identity;
        if (const ExitCode code = ReadIdentity(address_, io, &identity); code != kExitOk)
            return code;
        io.out << "model: " << Printable(identity.model)
               << "\nversion: " << Printable(identity.version) << "\nid: " << Printable(identity.id)
               << "\n";
        return kExitOk;
    }

  private:
    std::string address_;
};

}  // namespace

std::unique_ptr<Command> MakeInfoCommand() {
    return std::make_unique<InfoCommand>();
}

}  // namespace pelvane::cli
