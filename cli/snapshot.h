// Identity, node table and one poll of a controller, and their file formats.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_io.h"
#include "nodes/error_poll.h"
#include "nodes/node_table.h"
#include "nodes/poll_session.h"

namespace pelvane::cli {

struct SnapshotNode {
    NodeRecord record{};
    // The slots of record the controller gave; the others are unread (null in a file).
    NodeSlotsRead read;
    // None for a node beyond what one poll holds; each counter none when unread.
    std::optional<CounterReadings> counters;
    std::optional<int32_t> statusWord;  // none when its read failed
    std::optional<uint16_t> dlStatus;   // 0110H; none when unread or in a format 1 file
};

// Format 1 files carry no "format" and only 300H..303H; format 2 adds each node's DL status
// and the counters 304H..313H but for 30EH/30FH. Newer files are refused.
inline constexpr int kSnapshotFormat = 2;

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

// Reads a snapshot file; on failure says on io.err which file and which field.
std::optional<Snapshot> LoadSnapshot(const std::string& path, const CliIo& io);

// The counters and DL status of a snapshot as one reading of its bus.
BusReading ReadingOf(const Snapshot& snapshot);

}  // namespace pelvane::cli
