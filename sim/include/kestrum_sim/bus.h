// The simulated controller and its bus, as read from a bus file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum::sim {

struct Node {
    int32_t vendorId = 0;
    int32_t deviceId = 0;
    int32_t switchNo = 0;
    int32_t axisCount = 0;
    int32_t ioBase = 0;
    int32_t inputCount = 0;
    int32_t outputCount = 0;
    int32_t aioBase = 0;
    int32_t adCount = 0;
    int32_t daCount = 0;
    int32_t errorCounters[4] = {0, 0, 0, 0};  // registers 300H to 303H
    int32_t statusWord = 0;                   // object 6041H, drives only
    // Faults from the bus file; see docs/simulator.md.
    double counterRate[2] = {0.0, 0.0};  // per second, for port 0 (300H/301H) and port 1
};

struct Bus {
    std::string model = "KSM464";
    std::string versionDate = "20261101";
    std::string serialNumber = "00000001";
    std::vector<Node> nodes;
    int32_t lostCount = 0;
    double lostRate = 0.0;  // lost count per second
    int32_t latencyMs = 0;  // added to every reply from the start
};

// The node fields that a bus file and "@SIM SET" name; nullptr for an unknown name.
int32_t* NodeField(Node& node, std::string_view name);

// Reads a bus file (JSON). nullopt and a reason when it cannot be used.
std::optional<Bus> LoadBusFile(const std::string& path, std::string* error = nullptr);
std::optional<Bus> ParseBus(const std::string& json, std::string* error = nullptr);

}  // namespace kestrum::sim
