// search and info: who answers, and who it is.
#include <string>
#include <vector>

#include "commands.h"
#include "gbk.h"
#include "kestrum.h"
#include "link.h"
#include "link_settings.h"
#include "search_reply.h"
#include "snapshot.h"
#include "text_format.h"

namespace pelvane::cli {

ExitCode RunSearch(uint32_t timeMs, const CliIo& io) {
    std::vector<char> found(kSearchBufferSize, '\0');
    const int32_t status = KST_SearchEth(found.data(), kSearchCapacity, timeMs);
    if (status != 0) {
        io.err << "pelvane-cli: the network search failed: " << StatusText(status) << "\n";
        return kExitLinkFailed;
    }
    found.back() = '\0';
    // Read as the window reads it, but without its cap: a reply that fits the buffer holds
    // fewer addresses than bytes.
    for (const std::string& address : SearchReplyTokens(found.data(), kSearchCapacity))
        io.out << Printable(GbkToUtf8(address)) << "\n";
    return kExitOk;
}

ExitCode RunInfo(const std::string& address, const CliIo& io) {
    ControllerLink link;
    if (const ExitCode code = link.Open(address, io); code != kExitOk) return code;
    Snapshot identity;
    if (const ExitCode code = ReadIdentity(address, io, &identity); code != kExitOk) return code;
    io.out << "model: " << Printable(identity.model) << "\nversion: " << Printable(identity.version)
           << "\nid: " << Printable(identity.id) << "\n";
    return kExitOk;
}

}  // namespace pelvane::cli
