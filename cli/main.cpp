// pelvane-cli: the diagnosis of the window, without a window, for SSH and scripts.
#include <iostream>

#include "cli/cli_app.h"
#include "cli/platform.h"

int main(int argc, char** argv) {
    const pelvane::cli::Terminals terminals = pelvane::cli::PrepareTerminals();
    const pelvane::cli::CliIo io{std::cout, std::cerr, terminals.out, terminals.err};
    return pelvane::cli::RunCli(argc, argv, io);
}
