// The one controller link a command works on, opened as the window opens it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_io.h"
#include "controller/status_text.h"
#include "nodes/node_table.h"

namespace pelvane::cli {

class ControllerLink {
  public:
    ControllerLink() = default;
    ~ControllerLink();
    ControllerLink(const ControllerLink&) = delete;
    ControllerLink& operator=(const ControllerLink&) = delete;

    // Opens address and makes it the process's controller link. On failure says why on
    // io.err and returns the exit code: usage for a malformed address, else link failed.
    ExitCode Open(const std::string& address, const CliIo& io);
};

// Asks for the node count to learn whether the link still works; says why not on io.err.
bool LinkAlive(const std::string& address, const CliIo& io);

// The same question, for after work that reads failed queries as empty: false, said on
// io.err, only when the link failed or the controller stopped answering; a command the
// controller refused leaves the link working.
bool LinkHolds(const std::string& address, const CliIo& io);

// The node table read with its progress shown; returns the count of records read.
int32_t ReadNodeTable(const CliIo& io, std::vector<NodeSlotsRead>* slotsRead = nullptr);
// The same on a link that must answer before and after the read, since the read takes an
// unanswered query for an empty one; none, said on io.err, when it did not.
std::optional<int32_t> ReadNodeTableOnLiveLink(const std::string& address, const CliIo& io,
                                               std::vector<NodeSlotsRead>* slotsRead = nullptr);

}  // namespace pelvane::cli
