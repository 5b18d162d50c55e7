// Identity, node table and one poll of a controller, and their file formats.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli_io.h"
#include "error_poll.h"
#include "node_table.h"

namespace pelvane::cli {

struct SnapshotNode {
    NodeRecord record{};
    // Counters and status word; none for a node beyond what one poll holds.
    std::optional<std::array<int32_t, kCounterCount>> counters;
    std::optional<int32_t> statusWord;  // none when its read failed
};

struct Snapshot {
    std::string address, model, version, id;  // UTF-8
    std::string time;                         // ISO 8601 UTC
    std::string lostcountText;
    std::vector<SnapshotNode> nodes;
};

// The controller's model, version and ID over the open link, decoded into snapshot;
// on failure says why on io.err.
ExitCode ReadIdentity(const std::string& address, const CliIo& io, Snapshot* snapshot);

// Reads a snapshot over the open link; on failure says why on io.err.
ExitCode ReadSnapshot(const std::string& address, const CliIo& io, Snapshot* snapshot);

nlohmann::ordered_json SnapshotToJson(const Snapshot& snapshot);
std::string SnapshotToCsv(const Snapshot& snapshot);
// Refuses, with a reason, anything but a snapshot in the JSON format.
std::optional<Snapshot> SnapshotFromJson(const nlohmann::json& json, std::string* error);

}  // namespace pelvane::cli
