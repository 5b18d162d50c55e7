// pelvane-exporter: polls controllers and serves their buses to Prometheus.
#include <prometheus/exposer.h>

#include <exception>
#include <iostream>
#include <memory>

#include "common/stop_signals.h"
#include "exporter/metrics.h"
#include "exporter/options.h"

using pelvane::exporter::BusMetrics;
using pelvane::exporter::ControllerPoller;

int main(int argc, char** argv) {
    int exitCode = 0;
    const auto options =
        pelvane::exporter::ParseOptions(argc, argv, std::cout, std::cerr, &exitCode);
    if (!options) return exitCode;

    // Before any thread starts.
    const common::StopSignals stopSignals;

    std::vector<std::unique_ptr<ControllerPoller>> pollers;
    std::vector<const ControllerPoller*> views;
    for (const std::string& address : options->controllers) {
        pollers.push_back(std::make_unique<ControllerPoller>(address, options->interval,
                                                             options->identityInterval));
        views.push_back(pollers.back().get());
    }
    auto metrics = std::make_shared<BusMetrics>(views);
    std::unique_ptr<prometheus::Exposer> exposer;
    try {
        exposer = std::make_unique<prometheus::Exposer>(options->listen);
    } catch (const std::exception& e) {
        std::cerr << "pelvane-exporter: cannot listen on " << options->listen << ": " << e.what()
                  << "\n";
        return 1;
    }
    exposer->RegisterCollectable(metrics);
    for (auto& poller : pollers) poller->Start();
    const auto ports = exposer->GetListeningPorts();
    // Scripts wait for this line; with port 0 it tells which port was picked.
    std::cout << "listening on port " << (ports.empty() ? 0 : ports.front()) << std::endl;

    stopSignals.Wait();
    exposer.reset();
    for (auto& poller : pollers) poller->Stop();
    return 0;
}
