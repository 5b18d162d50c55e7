// Benchmarks serve a bus from an in-process simulator and link to it as the window does.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "controller/controller_link.h"
#include "kestrum_sim/simulator.h"
#include "tests/support/loopback_only.h"

namespace pelvane::bench {

// Serves bus on address and opens g_controllerHandle to it; says why and gives nullptr
// when it cannot, or when the network holds more than loopback.
inline std::unique_ptr<kestrum::sim::Simulator> ServeAndLink(kestrum::sim::Bus bus,
                                                             const std::string& address) {
    if (!testing::OnlyLoopbackInterfaces()) {
        std::fprintf(stderr, "run this inside a private network namespace with only loopback\n");
        return nullptr;
    }
    kestrum::sim::SimulatorOptions options;
    options.address = address;
    options.discovery = false;
    auto sim = std::make_unique<kestrum::sim::Simulator>(std::move(bus), options);
    std::string error;
    if (!sim->server().Start(&error)) {
        std::fprintf(stderr, "simulator on %s: %s\n", address.c_str(), error.c_str());
        return nullptr;
    }
    if (OpenControllerLink(address.c_str()) != 0) {
        std::fprintf(stderr, "cannot link to %s\n", address.c_str());
        return nullptr;
    }
    return sim;
}

inline std::unique_ptr<kestrum::sim::Simulator> ServeAndLink(const std::string& busPath,
                                                             const std::string& address) {
    std::string error;
    auto bus = kestrum::sim::LoadBusFile(busPath, &error);
    if (!bus) {
        std::fprintf(stderr, "%s: %s\n", busPath.c_str(), error.c_str());
        return nullptr;
    }
    return ServeAndLink(std::move(*bus), address);
}

}  // namespace pelvane::bench
