// The command line of pelvane-exporter.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pelvane::exporter {

struct ExporterOptions {
    std::vector<std::string> controllers;
    std::chrono::milliseconds interval{1000};
    std::chrono::milliseconds identityInterval{60000};
    std::string listen = "127.0.0.1:9810";
};

// Empty after --help (exit 0) or a usage error (exit 2); messages go to out and err.
// exitCode says which.
std::optional<ExporterOptions> ParseOptions(int argc, const char* const* argv, std::ostream& out,
                                            std::ostream& err, int* exitCode);

}  // namespace pelvane::exporter
