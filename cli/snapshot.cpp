#include "snapshot.h"

#include <chrono>
#include <cstring>

#include "gbk.h"
#include "link.h"
#include "progress.h"
#include "queries.h"
#include "text_format.h"

namespace pelvane::cli {

namespace {

std::string Field(const char* field) {
    return GbkToUtf8(std::string_view(field, strnlen(field, kIdentityFieldSize)));
}

}  // namespace

ExitCode ReadIdentity(const std::string& address, const CliIo& io, Snapshot* snapshot) {
    char model[kIdentityFieldSize] = {};
    char version[kIdentityFieldSize] = {};
    char id[kIdentityFieldSize] = {};
    const int32_t status = GetControllerInfo(model, version, id);
    if (status != 0) {
        io.err << "pelvane-cli: " << address << ": " << StatusText(status) << "\n";
        return kExitLinkFailed;
    }
    *snapshot = Snapshot{address, Field(model), Field(version), Field(id), {}, {}, {}};
    return kExitOk;
}

ExitCode ReadSnapshot(const std::string& address, const CliIo& io, Snapshot* snapshot) {
    if (const ExitCode code = ReadIdentity(address, io, snapshot); code != kExitOk) return code;
    int32_t count = 0;
    {
        Progress progress(io, "reading the node table");
        count = QueryNodeTable(
            [&](int32_t done, int32_t total) { progress.Show(done, total, "nodes"); });
    }
    ErrorCounterTable table{};
    ErrorPoll poll;
    snapshot->time = UtcTime(std::chrono::system_clock::now(), false);
    snapshot->lostcountText = GbkToUtf8(poll.Poll(table));
    // The table read and the poll read a failed link as empty answers.
    if (!LinkHolds(address, io)) return kExitLinkFailed;
    for (int32_t node = 0; node < count; ++node) {
        const auto i = static_cast<size_t>(node);
        SnapshotNode entry{g_nodeTable[i], std::nullopt, std::nullopt};
        if (node < poll.nodeCount()) {
            entry.counters = {table[kRegister300H][i], table[kRegister301H][i],
                              table[kRegister302H][i], table[kRegister303H][i]};
            if (table[kStatusWord][i] != kStatusWordUnread)
                entry.statusWord = table[kStatusWord][i];
        }
        snapshot->nodes.push_back(entry);
    }
    return kExitOk;
}

}  // namespace pelvane::cli
