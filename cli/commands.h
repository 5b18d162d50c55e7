// The subcommands of pelvane-cli. Each declares its own options and runs itself once
// they are parsed; cli_app.cpp only puts them together.
#pragma once

#include <memory>

#include "cli/cli_io.h"

namespace CLI {
class App;
}

namespace pelvane::cli {

class Command {
  public:
    virtual ~Command() = default;
    // Adds the subcommand to app, its options bound to this command.
    virtual CLI::App* Declare(CLI::App& app) = 0;
    virtual ExitCode Run(const CliIo& io) const = 0;
};

std::unique_ptr<Command> MakeSearchCommand();
std::unique_ptr<Command> MakeInfoCommand();
std::unique_ptr<Command> MakeNodesCommand();
std::unique_ptr<Command> MakeWatchCommand();
std::unique_ptr<Command> MakeCheckCommand();
std::unique_ptr<Command> MakeSnapshotCommand();
std::unique_ptr<Command> MakeDiffCommand();

}  // namespace pelvane::cli
