// diff: two snapshots compared, with the verdict.
#include <fstream>
#include <memory>
#include <sstream>

#include "commands.h"
#include "snapshot.h"
#include "text_format.h"
#include "verdict.h"
#include "watch_view.h"

namespace pelvane::cli {

namespace {

// Snapshot files are written by us but read back from anywhere: refuse the outsized.
constexpr std::streamoff kMaxSnapshotBytes = 16 << 20;

std::optional<Snapshot> LoadSnapshot(const std::string& path, const CliIo& io) {
    std::ifstream file(path, std::ios::binary);
    std::string error = "cannot be read";
    if (file) {
        file.seekg(0, std::ios::end);
        const std::streamoff size = file.tellg();
        file.seekg(0);
        if (size > kMaxSnapshotBytes) {
            error = "larger than a snapshot can be";
        } else {
            const auto json = nlohmann::json::parse(file, nullptr, false);
            if (json.is_discarded())
                error = "not JSON";
            else if (auto snapshot = SnapshotFromJson(json, &error))
                return snapshot;
        }
    }
    io.err << "pelvane-cli: " << path << ": " << error << "\n";
    return std::nullopt;
}

void TakeCounters(const Snapshot& snapshot, CounterRises& rises) {
    for (size_t i = 0; i < snapshot.nodes.size(); ++i) {
        if (!snapshot.nodes[i].counters) continue;
        for (int k = 0; k < kCounterCount; ++k)
            rises.Take(static_cast<int32_t>(i), k,
                       (*snapshot.nodes[i].counters)[static_cast<size_t>(k)]);
    }
}

}  // namespace

ExitCode RunDiff(const std::string& oldPath, const std::string& newPath, const CliIo& io) {
    const auto before = LoadSnapshot(oldPath, io);
    const auto after = LoadSnapshot(newPath, io);
    if (!before || !after) return kExitUsage;
    if (before->address != after->address || before->id != after->id)
        io.err << "pelvane-cli: the snapshots come from different controllers\n";
    auto rises = std::make_unique<CounterRises>();
    TakeCounters(*before, *rises);
    TakeCounters(*after, *rises);
    const auto nodeCount = static_cast<int32_t>(after->nodes.size());
    std::ostringstream text;
    text << "diff " << Printable(before->time) << " -> " << Printable(after->time) << ", "
         << Printable(before->lostcountText) << " -> " << Printable(after->lostcountText) << "\n";
    text << RiseLines(*rises, nodeCount);
    const auto lostBefore = LostCountValue(before->lostcountText);
    const auto lostAfter = LostCountValue(after->lostcountText);
    const int64_t lostRise = lostBefore && lostAfter ? LostCountRise(*lostBefore, *lostAfter) : 0;
    const Verdict verdict = JudgeRises(*rises, nodeCount, lostRise);
    io.out << text.str() << "verdict: " << VerdictText(verdict) << "\n";
    return verdict.clean() ? kExitOk : kExitErrorsFound;
}

}  // namespace pelvane::cli
