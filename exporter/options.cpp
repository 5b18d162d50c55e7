#include "exporter/options.h"

#include <arpa/inet.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <set>

namespace pelvane::exporter {

namespace {

constexpr double kMinIntervalSeconds = 0.05;
constexpr double kMaxIntervalSeconds = 3600;
constexpr double kMaxIdentitySeconds = 86400;

std::string CheckAddress(const std::string& text) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1)
        return "not a dotted IPv4 address (a.b.c.d): " + text;
    return {};
}

}  // namespace

std::optional<ExporterOptions> ParseOptions(int argc, const char* const* argv, std::ostream& out,
                                            std::ostream& err, int* exitCode) {
    CLI::App app{"Serves the buses of networked motion controllers as Prometheus metrics.",
                 "pelvane-exporter"};
    ExporterOptions options;
    double seconds = 1.0;
    app.add_option("--controller", options.controllers, "controller address (repeatable)")
        ->required()
        ->check(CLI::Validator(CheckAddress, "IPv4", "IPv4"));
    app.add_option("--interval", seconds, "seconds between polls of each controller")
        ->capture_default_str()
        ->check(CLI::Range(kMinIntervalSeconds, kMaxIntervalSeconds));
    double identitySeconds = 60.0;
    app.add_option("--identity-interval", identitySeconds,
                   "seconds between reads of the nodes' vendor and device IDs (also read "
                   "whenever the node count changes)")
        ->capture_default_str()
        ->check(CLI::Range(kMinIntervalSeconds, kMaxIdentitySeconds));
    app.add_option("--listen", options.listen, "address:port to serve /metrics on")
        ->capture_default_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // CLI11's own codes vary by error; scripts get one usage code.
        *exitCode = app.exit(e, out, err) == 0 ? 0 : 2;
        return std::nullopt;
    }
    const std::set<std::string> unique(options.controllers.begin(), options.controllers.end());
    if (unique.size() != options.controllers.size()) {
        err << "pelvane-exporter: a controller is given twice\n";
        *exitCode = 2;
        return std::nullopt;
    }
    options.interval = std::chrono::milliseconds(std::lround(seconds * 1000));
    options.identityInterval = std::chrono::milliseconds(std::lround(identitySeconds * 1000));
    return options;
}

}  // namespace pelvane::exporter
