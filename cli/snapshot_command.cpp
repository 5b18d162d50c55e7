// snapshot: identity, node table and one poll, to a file or stdout.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "commands.h"
#include "link.h"
#include "platform.h"
#include "snapshot.h"

namespace pelvane::cli {

namespace {

ExitCode CannotWrite(const std::string& path, const CliIo& io) {
    io.err << "pelvane-cli: cannot write " << path << ": " << std::strerror(errno) << "\n";
    return kExitUsage;
}

std::string SnapshotText(const Snapshot& snapshot, const std::string& format) {
    if (format == "csv") return SnapshotToCsv(snapshot);
    return SnapshotToJson(snapshot).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
           "\n";
}

}  // namespace

ExitCode RunSnapshot(const std::string& address, const std::string& format,
                     const std::string& outputPath, const CliIo& io) {
    // The snapshot goes to a file beside outputPath and replaces it only once complete:
    // a controller that cannot be read must not destroy an earlier snapshot. A file that
    // cannot be written is still found out before the controller is asked.
    const std::string partPath = outputPath + ".part";
    std::ofstream file;
    if (!outputPath.empty()) {
        file.open(partPath, std::ios::binary | std::ios::trunc);
        if (!file) return CannotWrite(partPath, io);
    }
    Snapshot snapshot;
    ExitCode code = kExitOk;
    {
        ControllerLink link;
        code = link.Open(address, io);
        if (code == kExitOk) code = ReadSnapshot(address, io, &snapshot);
    }
    if (outputPath.empty()) {
        if (code != kExitOk) return code;
        io.out << SnapshotText(snapshot, format) << std::flush;
        if (io.out) return kExitOk;
        io.err << "pelvane-cli: cannot write the snapshot\n";
        return kExitUsage;
    }
    if (code == kExitOk) file << SnapshotText(snapshot, format);
    file.close();
    if (code == kExitOk && !file) code = CannotWrite(partPath, io);
    if (code == kExitOk && !RenameOver(partPath.c_str(), outputPath.c_str()))
        code = CannotWrite(outputPath, io);
    if (code != kExitOk) std::remove(partPath.c_str());
    return code;
}

}  // namespace pelvane::cli
