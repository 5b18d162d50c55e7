// snapshot: identity, node table and one poll, to a file or stdout.
#include <cerrno>
#include <cstring>
#include <fstream>

#include "commands.h"
#include "link.h"
#include "snapshot.h"

namespace pelvane::cli {

ExitCode RunSnapshot(const std::string& address, const std::string& format,
                     const std::string& outputPath, const CliIo& io) {
    // A file that cannot be written is found out before the controller is asked.
    std::ofstream file;
    if (!outputPath.empty()) {
        file.open(outputPath, std::ios::binary | std::ios::trunc);
        if (!file) {
            io.err << "pelvane-cli: cannot write " << outputPath << ": " << std::strerror(errno)
                   << "\n";
            return kExitUsage;
        }
    }
    ControllerLink link;
    if (const ExitCode code = link.Open(address, io); code != kExitOk) return code;
    Snapshot snapshot;
    if (const ExitCode code = ReadSnapshot(address, io, &snapshot); code != kExitOk) return code;
    std::ostream& out = outputPath.empty() ? io.out : file;
    if (format == "csv")
        out << SnapshotToCsv(snapshot);
    else
        out << SnapshotToJson(snapshot).dump(2, ' ', false,
                                             nlohmann::json::error_handler_t::replace)
            << "\n";
    out.flush();
    if (!out) {
        io.err << "pelvane-cli: cannot write the snapshot\n";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace pelvane::cli
