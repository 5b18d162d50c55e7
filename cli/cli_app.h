// pelvane-cli's command line: the subcommands put together, and the exit codes.
#pragma once

#include "cli/cli_io.h"

namespace pelvane::cli {

// Parses the arguments and runs the subcommand named; returns the exit code.
int RunCli(int argc, const char* const* argv, const CliIo& io);

}  // namespace pelvane::cli
