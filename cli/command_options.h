// Options that several subcommands share, declared alike in each.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "nodes/error_poll.h"

namespace pelvane::cli {

inline constexpr int kDefaultIntervalMs = kPollPeriodMs;  // as the diagnosis page polls

// A subcommand whose one positional is the controller's address.
CLI::App* AddAddressedSubcommand(CLI::App& app, const char* name, const char* about,
                                 std::string& address);

void AddIntervalOption(CLI::App& sub, int& intervalMs);

}  // namespace pelvane::cli
