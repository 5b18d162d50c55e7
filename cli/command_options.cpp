#include "cli/command_options.h"

namespace pelvane::cli {

CLI::App* AddAddressedSubcommand(CLI::App& app, const char* name, const char* about,
                                 std::string& address) {
    CLI::App* sub = app.add_subcommand(name, about);
    sub->add_option("ADDR", address, "controller address (dotted IPv4)")->required();
    return sub;
}

void AddIntervalOption(CLI::App& sub, int& intervalMs) {
    sub.add_option("--interval", intervalMs, "milliseconds between polls")
        ->check(CLI::Range(10, 3600000))
        ->capture_default_str();
}

}  // namespace pelvane::cli
