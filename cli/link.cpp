#include "cli/link.h"

#include "cli/progress.h"
#include "controller/controller_link.h"
#include "controller/controller_state.h"
#include "controller/link_settings.h"
#include "controller/queries.h"

namespace pelvane::cli {

std::string StatusText(int32_t status) {
    switch (status) {
        case KST_ERR_INVALID_ARGUMENT:
            return "the library refused an argument";
        case KST_ERR_BAD_ADDRESS:
            return "not a dotted IPv4 address (a.b.c.d)";
        case KST_ERR_CONNECT_REFUSED:
            return "the controller refused the link or cannot be reached";
        case KST_ERR_CONNECT_TIMEOUT:
            return "no link within " + std::to_string(kConnectTimeoutMs) + " ms";
        case KST_ERR_BAD_HANDLE:
            return "the link is not open";
        case KST_ERR_BAD_COMMAND:
            return "the command is too long or holds a line break";
        case KST_ERR_TIMEOUT:
            return "the controller did not answer in time";
        case KST_ERR_REPLY_OVERDUE:
            return "the controller stopped answering (it still owes an earlier reply)";
        case KST_ERR_LINK_CLOSED:
            return "the controller closed the link";
        case KST_ERR_MALFORMED_REPLY:
            return "the controller sent a reply that cannot be read";
        case KST_ERR_SYSTEM:
            return "the operating system refused a network operation";
        case kResultEmptyReply:
            return "the controller's reply was empty";
        case kResultNotANumber:
            return "the controller's reply held no number";
        case kResultBadArgument:
            return "a query was given a bad argument";
        case kResultUnexpectedText:
            return "the controller's reply was not the expected text";
        default:
            break;
    }
    if (status >= 1 && status <= 9999)
        return "the controller refused the command (its error " + std::to_string(status) + ")";
    return "unknown failure (" + std::to_string(status) + ")";
}

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

namespace {

// Asks for the node count; says why on io.err when the answer does not do.
bool AskNodeCount(const std::string& address, const CliIo& io, bool needAnswer) {
    int32_t count = 0;
    const int32_t status = GetNodeCount(&count);
    if (needAnswer ? status == 0 : !LinkFailed(status)) return true;
    io.err << "pelvane-cli: " << address << ": " << StatusText(status) << "\n";
    return false;
}

}  // namespace

bool LinkAlive(const std::string& address, const CliIo& io) {
    return AskNodeCount(address, io, true);
}

bool LinkHolds(const std::string& address, const CliIo& io) {
    return AskNodeCount(address, io, false);
}

int32_t ReadNodeTable(const CliIo& io, std::vector<NodeSlotsRead>* slotsRead) {
    Progress progress(io, "reading the node table");
    return QueryNodeTable([&](int32_t done, int32_t total) { progress.Show(done, total, "nodes"); },
                          slotsRead);
}

std::optional<int32_t> ReadNodeTableOnLiveLink(const std::string& address, const CliIo& io,
                                               std::vector<NodeSlotsRead>* slotsRead) {
    if (!LinkAlive(address, io)) return std::nullopt;
    const int32_t count = ReadNodeTable(io, slotsRead);
    if (!LinkHolds(address, io)) return std::nullopt;
    return count;
}

}  // namespace pelvane::cli
