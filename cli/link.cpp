#include "cli/link.h"

#include "cli/progress.h"
#include "controller/controller_link.h"
#include "controller/controller_state.h"
#include "controller/queries.h"
#include "controller/status_text.h"

namespace pelvane::cli {

ControllerLink::~ControllerLink() {
    CloseControllerLink();
}

ExitCode ControllerLink::Open(const std::string& address, const CliIo& io) {
    const int32_t status = OpenControllerLink(address.c_str());
    if (status != 0) {
        io.err << "pelvane-cli: cannot link to " << address << ": " << StatusText(status) << "\n";
        return status == KST_ERR_BAD_ADDRESS ? kExitUsage : kExitLinkFailed;
    }
    return kExitOk;
}

bool LinkHolds(const std::string& address, const CliIo& io, bool countAnswered) {
    int32_t count = 0;
    const int32_t status = GetNodeCount(&count);
    if (countAnswered ? status == 0 : !LinkFailed(status)) return true;
    io.err << "pelvane-cli: " << address << ": " << StatusText(status) << "\n";
    return false;
}

int32_t ReadNodeTable(const CliIo& io, std::vector<NodeSlotsRead>* slotsRead) {
    Progress progress(io, "reading the node table");
    return QueryNodeTable([&](int32_t done, int32_t total) { progress.Show(done, total, "nodes"); },
                          slotsRead);
}

std::optional<int32_t> ReadNodeTableOnLiveLink(const std::string& address, const CliIo& io,
                                               std::vector<NodeSlotsRead>* slotsRead) {
    if (!LinkHolds(address, io, true)) return std::nullopt;
    const int32_t count = ReadNodeTable(io, slotsRead);
    if (!LinkHolds(address, io)) return std::nullopt;
    return count;
}

}  // namespace pelvane::cli
