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

// Asks for the node count to learn whether the link still works: false, said on io.err,
// when the link failed or the controller stopped answering. A refusal leaves the link
// working, unless countAnswered: then the count itself must come, as before work that
// would read failed queries as empty.
bool LinkHolds(const std::string& address, const CliIo& io, bool countAnswered = false);

// The node table read with its progress shown; returns the count of records read.
int32_t ReadNodeTable(const CliIo& io, std::vector<NodeSlotsRead>* slotsRead = nullptr);
// The same on a link that must answer before and after the read, since the read takes an
// unanswered query for an empty one; none, said on io.err, when it did not.
std::optional<int32_t> ReadNodeTableOnLiveLink(const std::string& address, const CliIo& io,
                                               std::vector<NodeSlotsRead>* slotsRead = nullptr);

}  // namespace pelvane::cli
