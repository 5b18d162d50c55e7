// snapshot: identity, node table and one poll, to a file or stdout.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "cli/command_options.h"
#include "cli/commands.h"
#include "cli/link.h"
#include "cli/platform.h"
#include "cli/snapshot.h"

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

class SnapshotCommand final : public Command {
  public:
    CLI::App* Declare(CLI::App& app) override {
        CLI::App* sub =
            AddAddressedSubcommand(app, "snapshot", "identity, node table and one poll", address_);
        sub->add_option("--format", format_, "json or csv")->check(CLI::IsMember({"json", "csv"}));
        sub->add_option("-o", output_, "file to write (default: stdout)");
        return sub;
    }

    ExitCode Run(const CliIo& io) const override {
        // The snapshot goes to a file beside -o's and replaces it only once complete:
        // a controller that cannot be read must not destroy an earlier snapshot. A file that
        // cannot be written is still found out before the controller is asked.
        const std::string partPath = output_ + ".part";
        std::ofstream file;
        if (!output_.empty()) {
            file.open(partPath, std::ios::binary | std::ios::trunc);
            if (!file) return CannotWrite(partPath, io);
        }
        Snapshot snapshot;
        ExitCode code = kExitOk;
        {
            ControllerLink link;
            code = link.Open(address_, io);
            if (code == kExitOk) code = ReadSnapshot(address_, io, &snapshot);
        }
        if (output_.empty()) {
            if (code != kExitOk) return code;
            io.out << SnapshotText(snapshot, format_) << std::flush;
            if (io.out) return kExitOk;
            io.err << "pelvane-cli: cannot write the snapshot\n";
            return kExitUsage;
        }
        if (code == kExitOk) file << SnapshotText(snapshot, format_);
        file.close();
        if (code == kExitOk && !file) code = CannotWrite(partPath, io);
        if (code == kExitOk && !RenameOver(partPath.c_str(), output_.c_str()))
            code = CannotWrite(output_, io);
        if (code != kExitOk) std::remove(partPath.c_str());
        return code;
    }

  private:
    std::string address_, format_ = "json", output_;
};

}  // namespace

std::unique_ptr<Command> MakeSnapshotCommand() {
    return std::make_unique<SnapshotCommand>();
}

}  // namespace pelvane::cli
