// The served scan's age while a slow, large SII is read, beside a steady line.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/gateway_loop.h"
#include "bench/gateway_loss.h"

namespace pelvane::bench {

namespace {

namespace sim = kestrum::sim;
using std::chrono::milliseconds;

constexpr milliseconds kIdentitiesWithin{30000};
// First in line, so that its walk is the first the fresh loop starts.
constexpr std::size_t kLargeSiiNode = 0;
constexpr int kLargeSiiPdoWords = 400;
constexpr double kEmulatedEepromMs = 3;

// The node's processor emulates its EEPROM, slowly, behind many words of PDOs; the node
// starts from power-up with it.
bool MakeLargeSii(sim::Simulator& simulator) {
    const std::string set = "@SIM SET " + std::to_string(kLargeSiiNode) + " esc.";
    char busy[32];
    std::snprintf(busy, sizeof busy, "eepromBusyMs %g", kEmulatedEepromMs);
    return SimCommand(simulator, set + "eepromEmulated 1") &&
           SimCommand(simulator, set + "siiPdoWords " + std::to_string(kLargeSiiPdoWords)) &&
           SimCommand(simulator, set + busy);
}

struct SiiReadRun {
    std::vector<double> scanAgesMs;
    double readMs = 0;  // from the loop's start until the SII's outcome was served
    bool served = false;
    ecat::SiiFault fault = ecat::SiiFault::kNone;
    // Afterwards, every SII read, sampled as long as the read took.
    std::vector<double> steadyAgesMs;
};

// From the first scan served until the node's SII, or why it failed, is served.
SiiReadRun SampleSiiRead(ServedLine& served) {
    SiiReadRun run;
    const auto start = ServedLine::Clock::now();
    run.served =
        SampleUntil(served, kServedSamplePeriod, kIdentitiesWithin, [&](const ServedSample& s) {
            if (s.nodes == 0) return false;
            run.scanAgesMs.push_back(s.scanAgeMs);
            return served.IdentityServed(kLargeSiiNode);
        });
    run.readMs =
        std::chrono::duration<double, std::milli>(ServedLine::Clock::now() - start).count();
    run.fault = served.siiFault(kLargeSiiNode);
    return run;
}

std::vector<double> SampleSteadyLine(ServedLine& served, std::size_t busNodes, double ms) {
    std::vector<double> ages;
    if (!AwaitIdentities(served, busNodes, kIdentitiesWithin)) return ages;
    SampleUntil(served, kServedSamplePeriod, milliseconds(static_cast<int64_t>(ms)),
                [&](const ServedSample& s) {
                    ages.push_back(s.scanAgeMs);
                    return false;
                });
    return ages;
}

void PrintSiiRead(const SiiReadRun& run, const LossSettings& s) {
    const Summary ages = Summarise(run.scanAgesMs);
    const double goalMs = 2.0 * static_cast<double>(s.cycle.count()) + 5.0;
    std::printf(
        "6. the served scan's age while Node%zu's SII is read: emulated EEPROM, %g ms reads, "
        "%d words of PDOs; a fresh loop, %lld ms cycle, sampled every %lld ms (ms)\n",
        kLargeSiiNode, kEmulatedEepromMs, kLargeSiiPdoWords,
        static_cast<long long>(s.cycle.count()),
        static_cast<long long>(kServedSamplePeriod.count()));
    std::printf("   Node%zu's SII %s after %.0f ms of the loop, %zu samples\n", kLargeSiiNode,
                !run.served                          ? "still not served"
                : run.fault == ecat::SiiFault::kNone ? "read and served"
                                                     : "failed",
                run.readMs, run.scanAgesMs.size());
    if (run.fault != ecat::SiiFault::kNone)
        std::printf("   served as: %s\n", std::string(ecat::SiiFaultText(run.fault)).c_str());
    std::printf(
        "   scan age: median %.1f, p99 %.1f, worst %.1f; goal at most %.0f (two cycles plus 5 ms),"
        " worst/goal %.2f\n",
        ages.median, Percentile(run.scanAgesMs, 99), ages.worst, goalMs, ages.worst / goalMs);
    if (run.steadyAgesMs.empty()) {
        std::printf("   steady line: not every SII was served afterwards\n");
        return;
    }
    const Summary steady = Summarise(run.steadyAgesMs);
    std::printf(
        "   steady line afterwards, every SII read, as long: median %.1f, p99 %.1f, worst %.1f;"
        " ratio read/steady: median %.2f, p99 %.2f, worst %.2f\n",
        steady.median, Percentile(run.steadyAgesMs, 99), steady.worst, ages.median / steady.median,
        Percentile(run.scanAgesMs, 99) / Percentile(run.steadyAgesMs, 99),
        ages.worst / steady.worst);
}

}  // namespace

bool TimeLargeSiiRead(sim::Simulator& simulator, const LossSettings& s) {
    if (!MakeLargeSii(simulator)) return false;
    std::string error;
    auto loop = LoopUnderTest::Start(s.masterInterface, s.cycle, &error);
    if (!loop) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    SiiReadRun run = SampleSiiRead(loop->served());
    run.steadyAgesMs = SampleSteadyLine(loop->served(), s.busNodes, run.readMs);
    PrintSiiRead(run, s);
    return true;
}

}  // namespace pelvane::bench
