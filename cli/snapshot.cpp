#include "cli/snapshot.h"

#include <chrono>
#include <memory>

#include "cli/link.h"
#include "cli/text_format.h"
#include "controller/gbk.h"
#include "controller/queries.h"

namespace pelvane::cli {

ExitCode ReadIdentity(const std::string& address, const CliIo& io, Snapshot* snapshot) {
    ControllerIdentity identity;
    const int32_t status = ReadControllerIdentity(&identity);
    if (status != 0) {
        io.err << "pelvane-cli: " << address << ": " << StatusText(status) << "\n";
        return kExitLinkFailed;
    }
    *snapshot = Snapshot{address, identity.model, identity.version, identity.id, {}, {}, {}};
    return kExitOk;
}

ExitCode ReadSnapshot(const std::string& address, const CliIo& io, Snapshot* snapshot) {
    if (const ExitCode code = ReadIdentity(address, io, snapshot); code != kExitOk) return code;
    std::vector<NodeSlotsRead> slotsRead;
    ReadNodeTable(io, &slotsRead);
    auto session = std::make_unique<PollSession>();
    snapshot->time = UtcTime(std::chrono::system_clock::now(), false);
    // The table read takes a failed link for empty answers; the poll's last query tells.
    if (!session->PollOnce()) {
        io.err << "pelvane-cli: " << address << ": " << StatusText(session->lastStatus()) << "\n";
        return kExitLinkFailed;
    }
    const BusReading& reading = session->last();
    snapshot->lostcountText = GbkToUtf8(reading.lostcountText);
    for (size_t i = 0; i < slotsRead.size(); ++i) {
        SnapshotNode entry{g_nodeTable[i], slotsRead[i], std::nullopt, std::nullopt, std::nullopt};
        if (i < reading.counters.size()) {
            entry.counters = reading.counters[i];
            if (i < reading.dlStatus.size()) entry.dlStatus = reading.dlStatus[i];
            if (reading.statusWords[i] != kStatusWordUnread)
                entry.statusWord = reading.statusWords[i];
        }
        snapshot->nodes.push_back(entry);
    }
    return kExitOk;
}

BusReading ReadingOf(const Snapshot& snapshot) {
    BusReading reading;
    reading.lostcountText = snapshot.lostcountText;
    for (const SnapshotNode& node : snapshot.nodes) {
        if (!node.counters) break;  // nodes past what one poll holds
        reading.counters.push_back(*node.counters);
        reading.dlStatus.push_back(node.dlStatus);
        reading.statusWords.push_back(node.statusWord.value_or(kStatusWordUnread));
    }
    return reading;
}

}  // namespace pelvane::cli
