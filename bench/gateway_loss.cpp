// The gateway's scan loop on a line that loses a share of its frames.
#include "bench/gateway_loss.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/gateway_loop.h"
#include "ecat/master.h"

namespace pelvane::bench {

namespace {

namespace sim = kestrum::sim;
using std::chrono::milliseconds;

constexpr double kLossPercents[] = {0, 5, 10, 20};
// A frame is counted lost only this long after it was sent, by the loop's next cycle.
constexpr milliseconds kSettle = ecat::kLostAfter + milliseconds(300);
constexpr milliseconds kRefreshGoal{500};
constexpr milliseconds kIdentitiesWithin{30000};

struct LossRun {
    double percent = 0;
    double seconds = 0;
    std::size_t samples = 0;
    std::size_t whole = 0;        // the served count was the real one
    std::size_t allCounters = 0;  // and every node's counters were served
    std::size_t fewest = SIZE_MAX;
    std::vector<double> oldestMs;
    std::size_t shownUp = 0;
    std::size_t shownLosing = 0;
    uint64_t scans = 0;
    uint64_t seen = 0;  // frames the segment answered or dropped while losing them
    uint64_t lostRise = 0;
    uint64_t dropped = 0;
    uint64_t late = 0;
};

void Record(LossRun& run, const ServedSample& sample, std::size_t busNodes) {
    ++run.samples;
    run.fewest = std::min(run.fewest, sample.nodes);
    if (sample.nodes == busNodes) ++run.whole;
    if (sample.nodes == busNodes && sample.countersServed == busNodes) ++run.allCounters;
    run.oldestMs.push_back(sample.oldestCountersMs);
    if (sample.line == gateway::LineCondition::kUp) ++run.shownUp;
    if (sample.line == gateway::LineCondition::kLosingFrames) ++run.shownLosing;
}

// The counts a run rises by, taken before and after it.
struct Counts {
    uint64_t lost, late, dropped, seen, scans;
    static Counts Of(const ServedLine& served, const sim::SegmentServer& segment) {
        return {served.framesLost(), served.framesLate(), segment.framesLost(),
                segment.framesAnswered() + segment.framesLost(), served.scansPublished()};
    }
};

std::optional<LossRun> AtLoss(sim::Simulator& simulator, const sim::SegmentServer& segment,
                              ServedLine& served, double percent, const LossSettings& s) {
    LossRun run;
    run.percent = percent;
    char command[48];
    std::snprintf(command, sizeof command, "@SIM SEGMENT_LOSS %g", percent);
    const Counts before = Counts::Of(served, segment);
    const auto start = ServedLine::Clock::now();
    if (!SimCommand(simulator, command)) return std::nullopt;
    SampleUntil(served, kServedSamplePeriod, s.runFor, [&](const ServedSample& sample) {
        Record(run, sample, s.busNodes);
        return false;
    });
    if (!SimCommand(simulator, "@SIM SEGMENT_LOSS 0")) return std::nullopt;
    run.seconds = std::chrono::duration<double>(ServedLine::Clock::now() - start).count();
    const Counts stopped = Counts::Of(served, segment);
    run.scans = stopped.scans - before.scans;
    run.seen = stopped.seen - before.seen;
    // The frames dropped last are awaited before they count.
    std::this_thread::sleep_for(kSettle);
    const Counts after = Counts::Of(served, segment);
    run.lostRise = after.lost - before.lost;
    run.late = after.late - before.late;
    run.dropped = after.dropped - before.dropped;
    return run;
}

double Share(std::size_t part, std::size_t whole) {
    return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

void PrintServed(const std::vector<LossRun>& runs, const LossSettings& s) {
    std::printf(
        "   served (%% of samples; counters' age in ms, goal at most %lld; line as reported)\n",
        static_cast<long long>(kRefreshGoal.count()));
    std::printf("   %6s %8s %9s %6s %8s %7s %7s %6s %7s %6s %7s %6s\n", "lost", "whole",
                "+counters", "fewest", "age med", "p99", "worst", "/goal", "scans/s", "up",
                "losing", "other");
    for (const LossRun& run : runs) {
        const Summary oldest = Summarise(run.oldestMs);
        const std::size_t other = run.samples - run.shownUp - run.shownLosing;
        std::printf(
            "   %4.0f %% %8.1f %9.1f %6zu %8.1f %7.1f %7.1f %6.2f %7.1f %6.1f %7.1f %6.1f\n",
            run.percent, Share(run.whole, run.samples), Share(run.allCounters, run.samples),
            run.fewest, oldest.median, Percentile(run.oldestMs, 99), oldest.worst,
            oldest.worst / static_cast<double>(kRefreshGoal.count()),
            static_cast<double>(run.scans) / run.seconds, Share(run.shownUp, run.samples),
            Share(run.shownLosing, run.samples), Share(other, run.samples));
    }
    std::printf("   whole: served count %zu; +counters: and every node's counters served\n",
                s.busNodes);
}

void PrintFrames(const std::vector<LossRun>& runs) {
    std::printf(
        "   frames (seen by the segment; goal: the Lostcount rises by the frames it dropped)\n");
    std::printf("   %6s %8s %9s %9s %8s %6s %6s\n", "lost", "seen", "dropped", "Lostcount", "ratio",
                "late", "loss");
    for (const LossRun& run : runs) {
        char ratio[16] = "-";
        if (run.dropped > 0)
            std::snprintf(ratio, sizeof ratio, "%.3f",
                          static_cast<double>(run.lostRise) / static_cast<double>(run.dropped));
        std::printf("   %4.0f %% %8llu %9llu %9llu %8s %6llu %5.1f%%\n", run.percent,
                    static_cast<unsigned long long>(run.seen),
                    static_cast<unsigned long long>(run.dropped),
                    static_cast<unsigned long long>(run.lostRise), ratio,
                    static_cast<unsigned long long>(run.late), Share(run.dropped, run.seen));
    }
}

}  // namespace

bool SimCommand(sim::Simulator& simulator, const std::string& command) {
    const std::string reply = simulator.server().Control(command);
    if (reply.rfind("OK", 0) == 0) return true;
    std::fprintf(stderr, "%s: %s\n", command.c_str(), reply.c_str());
    return false;
}

bool TimeLossyLine(sim::Simulator& simulator, const sim::SegmentServer& segment,
                   const LossSettings& s) {
    std::string error;
    auto loop = LoopUnderTest::Start(s.masterInterface, s.cycle, &error);
    if (!loop) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    if (!AwaitIdentities(loop->served(), s.busNodes, kIdentitiesWithin)) {
        std::fprintf(stderr, "the scan loop did not serve every node with its identity\n");
        return false;
    }
    std::printf(
        "5. the %zu-node bus losing frames, the gateway's scan loop, %.1f s at each share, "
        "sampled every %lld ms\n",
        s.busNodes, static_cast<double>(s.runFor.count()) / 1e3,
        static_cast<long long>(kServedSamplePeriod.count()));
    std::vector<LossRun> runs;
    for (const double percent : kLossPercents) {
        auto run = AtLoss(simulator, segment, loop->served(), percent, s);
        if (!run) return false;
        runs.push_back(std::move(*run));
    }
    PrintServed(runs, s);
    PrintFrames(runs);
    return true;
}

}  // namespace pelvane::bench
