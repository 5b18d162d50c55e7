// pelvane-cli: the diagnosis of the window, without a window, for SSH and scripts.
#include <unistd.h>

#include <iostream>

#include "cli_app.h"

int main(int argc, char** argv) {
    const pelvane::cli::CliIo io{std::cout, std::cerr, isatty(STDOUT_FILENO) == 1,
                                 isatty(STDERR_FILENO) == 1};
    return pelvane::cli::RunCli(argc, argv, io);
}
