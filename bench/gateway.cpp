// The gateway's path on a veth pair: frame round trips against a bare reflector and
// against the emulated segment, scans of the 200-node bus, and the window's poll through
// the gateway beside the same poll against the simulator directly; apart (--loss-only),
// what the gateway's scan loop serves of a lossy line and while a slow SII is read.
#include <ifaddrs.h>
#include <net/if.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/gateway_loss.h"
#include "bench/gateway_mailbox.h"
#include "bench/window_poll.h"
#include "controller/controller_link.h"
#include "controller/controller_state.h"
#include "ecat/master.h"
#include "ecat/raw_link.h"
#include "ecat/registers.h"
#include "ecat/scan.h"
#include "gateway/gateway.h"
#include "kestrum.h"
#include "kestrum_sim/segment_server.h"
#include "kestrum_sim/simulator.h"

namespace {

namespace ecat = kestrum::ecat;
namespace sim = kestrum::sim;
using Clock = std::chrono::steady_clock;
using pelvane::bench::Percentile;

constexpr char kSimAddress[] = "127.0.0.2";
constexpr char kGatewayAddress[] = "127.0.0.1";
constexpr int kWarmUp = 200;

struct Settings {
    std::string segmentInterface, masterInterface;
    std::string busPath = "sim/buses/large.json";
    int roundTrips = 10000;
    int scans = 200;
    int polls = 200;
    int pulls = 5;
    bool recoveryOnly = false;
    bool lossOnly = false;
    bool mailboxOnly = false;
    double lossSeconds = 5;
};

struct Figures {
    double median = 0;
    double p99 = 0;
    int lost = 0;
};

Figures Figure(const std::vector<double>& times, int lost = 0) {
    return {Percentile(times, 50), Percentile(times, 99), lost};
}

double Since(Clock::time_point start, double unitsPerSecond) {
    return std::chrono::duration<double>(Clock::now() - start).count() * unitsPerSecond;
}

// Raw frames go only onto the two ends of a veth pair, with nothing else up but loopback.
bool OnlyOurVethPair(const Settings& s) {
    for (const std::string& name : {s.segmentInterface, s.masterInterface}) {
        if (sim::InterfaceDriver(name) != "veth") {
            std::fprintf(stderr, "%s is not an end of a veth pair\n", name.c_str());
            return false;
        }
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool ours = true;
    for (const ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0) continue;
        if (s.segmentInterface != it->ifa_name && s.masterInterface != it->ifa_name) {
            std::fprintf(stderr, "%s is up: run this through bench/gateway.sh\n", it->ifa_name);
            ours = false;
        }
    }
    freeifaddrs(list);
    return ours;
}

// The frame sizes of both round-trip series.
struct TestFrame {
    const char* name;
    std::vector<ecat::Datagram> datagrams;
};

std::vector<TestFrame> TestFrames() {
    ecat::Datagram count;
    count.command = ecat::Command::kBrd;
    count.data.assign(2, 0);
    std::vector<ecat::Datagram> full;
    for (uint16_t i = 0; i < 46; ++i) full.push_back(ecat::ReadAt(i, ecat::kRegErrorCounters, 20));
    return {{"BRD, 1 datagram", {count}}, {"APRD 0300H, 46 x 20 bytes", full}};
}

std::size_t WireBytes(const std::vector<ecat::Datagram>& datagrams) {
    return std::max(ecat::FrameBytes(datagrams), ecat::kMinFrameBytes);
}

Figures RoundTrips(ecat::Master& master, const std::vector<ecat::Datagram>& datagrams, int count) {
    for (int i = 0; i < kWarmUp; ++i) (void)master.Exchange(datagrams);
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(count));
    int lost = 0;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        if (master.Exchange(datagrams))
            us.push_back(Since(start, 1e6));
        else
            ++lost;
    }
    return Figure(us, lost);
}

// Sends every unprocessed frame straight back, marked as a node would mark it.
void Reflect(ecat::RawLink& link, const std::atomic<bool>& stop) {
    while (!stop) {
        auto frame = link.Receive(std::chrono::milliseconds(20));
        if (!frame || ecat::Processed(*frame)) continue;
        ecat::MarkProcessed(*frame);
        (void)link.Send(*frame);
    }
}

std::vector<Figures> ReflectedRoundTrips(const Settings& s) {
    std::string error;
    auto far = ecat::RawLink::Open(s.segmentInterface, &error);
    auto near = far ? ecat::RawLink::Open(s.masterInterface, &error) : nullptr;
    if (!near) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return {};
    }
    std::atomic<bool> stop{false};
    std::thread reflector([&] { Reflect(*far, stop); });
    ecat::Master master(*near, near->mac());
    std::vector<Figures> figures;
    for (const TestFrame& frame : TestFrames())
        figures.push_back(RoundTrips(master, frame.datagrams, s.roundTrips));
    stop = true;
    reflector.join();
    return figures;
}

void PrintRoundTrips(const Settings& s, const std::vector<Figures>& reflected,
                     const std::vector<Figures>& emulated) {
    std::printf("1. frame round trip on the veth pair, %d each (µs)\n", s.roundTrips);
    std::printf("   %-34s %10s %10s %10s %10s  %s\n", "frame", "reflector", "p99", "segment", "p99",
                "ratio segment/reflector (median, p99)");
    const auto frames = TestFrames();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Figures& a = reflected[i];
        const Figures& b = emulated[i];
        const std::string name = std::string(frames[i].name) + ", " +
                                 std::to_string(WireBytes(frames[i].datagrams)) + " B";
        std::printf("   %-34s %10.1f %10.1f %10.1f %10.1f  %.2f, %.2f", name.c_str(), a.median,
                    a.p99, b.median, b.p99, b.median / a.median, b.p99 / a.p99);
        if (a.lost + b.lost > 0) std::printf("  (lost: %d, %d)", a.lost, b.lost);
        std::printf("\n");
    }
}

void SetEepromTime(sim::Simulator& simulator, std::size_t nodes, double ms) {
    char command[64];
    for (std::size_t n = 0; n < nodes; ++n) {
        std::snprintf(command, sizeof command, "@SIM SET %zu esc.eepromBusyMs %g", n, ms);
        simulator.server().Control(command);
    }
}

bool AllIdentitiesKnown(const ecat::BusScan& scan) {
    return std::all_of(scan.nodes.begin(), scan.nodes.end(), [](const ecat::NodeScan& n) {
        return n.siiRead || n.siiFault != ecat::SiiFault::kNone;
    });
}

// Scans with identity reads between them, the gateway's cycle, for the time given or
// until done says so; the last scan.
template <typename Done>
std::optional<ecat::BusScan> Cycle(ecat::Scanner& scanner, std::chrono::milliseconds limit,
                                   Done done) {
    constexpr auto kCycle = std::chrono::milliseconds(10);
    const auto until = Clock::now() + limit;
    std::string error;
    std::optional<ecat::BusScan> scan;
    auto next = Clock::now();
    while (Clock::now() < until) {
        scan = scanner.Scan(&error);
        if (scan && done(*scan)) break;
        next = std::max(next + kCycle, Clock::now());
        scanner.ReadIdentities(next);
        std::this_thread::sleep_until(next);
    }
    return scan;
}

// The first picture served, the last identity read and the EEPROM commands a steady line
// costs, at one EEPROM time; then the later scans' own time.
void TimeScans(sim::Simulator& simulator, ecat::Master& master, int scans, double eepromMs,
               std::size_t busNodes) {
    SetEepromTime(simulator, busNodes, eepromMs);
    ecat::Scanner scanner(master);
    std::string error;
    auto start = Clock::now();
    auto scan = scanner.Scan(&error);
    const double firstMs = Since(start, 1e3);
    scan = Cycle(scanner, std::chrono::seconds(60), AllIdentitiesKnown);
    const double lastMs = Since(start, 1e3);
    if (!scan || !AllIdentitiesKnown(*scan)) {
        std::fprintf(stderr, "the identities were not all read\n");
        return;
    }
    const uint64_t commands = scanner.eepromCommands();
    start = Clock::now();
    Cycle(scanner, std::chrono::seconds(5), [](const ecat::BusScan&) { return false; });
    const double perSecond =
        static_cast<double>(scanner.eepromCommands() - commands) / Since(start, 1.0);
    std::printf("2. the %zu-node bus through the emulated segment, EEPROM reads of %.1f ms\n",
                scan->nodes.size(), eepromMs);
    std::printf("   first picture served after %.1f ms, last identity read after %.0f ms\n",
                firstMs, lastMs);
    std::printf("   a steady line: %.1f EEPROM commands a second\n", perSecond);
    std::vector<double> ms, frames;
    for (int i = 0; i < scans; ++i) {
        const uint64_t sent = master.framesSent();
        start = Clock::now();
        if (!scanner.Scan(&error)) continue;
        ms.push_back(Since(start, 1e3));
        frames.push_back(static_cast<double>(master.framesSent() - sent));
    }
    std::printf("   later scans, %d: median %.2f ms, p99 %.2f ms, %.0f frames each, %zu failed\n",
                scans, Percentile(ms, 50), Percentile(ms, 99), Percentile(frames, 50),
                static_cast<std::size_t>(scans) - ms.size());
}

// Until a complete scan of nodes is served, for at most a few seconds.
bool AwaitNodes(const kestrum::gateway::Gateway& gateway, std::size_t nodes) {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (gateway.servedNodes() != nodes && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return gateway.servedNodes() == nodes;
}

KST_HANDLE Link(const char* address) {
    if (pelvane::OpenControllerLink(address) != 0) {
        std::fprintf(stderr, "cannot link to %s\n", address);
        return nullptr;
    }
    return pelvane::g_controllerHandle;
}

// One target of the window's poll: its own link, poll state and table.
struct PollTarget {
    KST_HANDLE handle = nullptr;
    pelvane::bench::WindowPoll poll;
    pelvane::ErrorCounterTable table{};
    std::vector<double> ms;

    void Poll(bool record) {
        pelvane::g_controllerHandle = handle;
        const auto start = Clock::now();
        poll.Poll(table);
        if (record) ms.push_back(Since(start, 1e3));
    }
};

// Milliseconds until the gateway serves nodes, and with identities if asked, or none
// after a few seconds.
std::optional<double> MsUntilServed(const kestrum::gateway::Gateway& gateway, std::size_t nodes,
                                    bool identities = false) {
    const auto start = Clock::now();
    if (!AwaitNodes(gateway, nodes)) return std::nullopt;
    const auto until = Clock::now() + std::chrono::seconds(30);
    while (identities && gateway.servedIdentities() != nodes && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (identities && gateway.servedIdentities() != nodes) return std::nullopt;
    return Since(start, 1e3);
}

// The whole line pulled at its first node and plugged in again, as the gateway serves it.
void TimePulls(const Settings& s, sim::Simulator& simulator,
               const kestrum::gateway::Gateway& gateway, std::size_t busNodes) {
    std::vector<double> emptied, restored;
    for (int pull = 0; pull < s.pulls; ++pull) {
        simulator.server().Control("@SIM NODE_OFF 0 600000");
        const auto empty = MsUntilServed(gateway, 0);
        simulator.server().Control("@SIM RESET");
        const auto full = MsUntilServed(gateway, busNodes, true);
        if (!empty || !full) {
            std::fprintf(stderr, "the gateway did not follow the line\n");
            return;
        }
        emptied.push_back(*empty);
        restored.push_back(*full);
    }
    std::printf("4. the line pulled at Node0 and plugged in again, %d times (%zu nodes, ms)\n",
                s.pulls, busNodes);
    std::printf("   pulled to an empty bus served: median %.0f, max %.0f\n",
                Percentile(emptied, 50), *std::max_element(emptied.begin(), emptied.end()));
    std::printf(
        "   plugged in to the full bus served, identities read again: median %.0f, max %.0f\n",
        Percentile(restored, 50), *std::max_element(restored.begin(), restored.end()));
}

// Against the gateway already serving the bus.
void ComparePolls(const Settings& s) {
    PollTarget direct, through;
    direct.handle = Link(kSimAddress);
    through.handle = Link(kGatewayAddress);
    if (direct.handle == nullptr || through.handle == nullptr) return;
    direct.Poll(false);
    through.Poll(false);
    // Rounds alternate which goes first, so that load hits both alike.
    for (int round = 0; round < s.polls; ++round) {
        PollTarget& first = round % 2 == 0 ? direct : through;
        PollTarget& second = round % 2 == 0 ? through : direct;
        first.Poll(true);
        second.Poll(true);
    }
    const Figures a = Figure(direct.ms), b = Figure(through.ms);
    std::printf("3. the window's poll, %d rounds alternating (ms)\n", s.polls);
    std::printf("   simulator directly (%d nodes): median %.2f, p99 %.2f\n", direct.poll.nodeCount,
                a.median, a.p99);
    std::printf("   through the gateway (%d nodes): median %.2f, p99 %.2f\n",
                through.poll.nodeCount, b.median, b.p99);
    std::printf("   ratio gateway/simulator: median %.2f, p99 %.2f\n", b.median / a.median,
                b.p99 / a.p99);
    KST_Close(direct.handle);
    KST_Close(through.handle);
    pelvane::g_controllerHandle = nullptr;
}

// The gateway's scan loop on a lossy line, then while a slow, large SII is read.
int TimeLoss(const Settings& s, sim::Simulator& simulator, const sim::SegmentServer& segment,
             std::size_t busNodes) {
    pelvane::bench::LossSettings settings;
    settings.masterInterface = s.masterInterface;
    settings.busNodes = busNodes;
    settings.runFor = std::chrono::milliseconds(static_cast<int64_t>(s.lossSeconds * 1e3));
    if (!pelvane::bench::TimeLossyLine(simulator, segment, settings)) return 1;
    return pelvane::bench::TimeLargeSiiRead(simulator, settings) ? 0 : 1;
}

std::unique_ptr<sim::SegmentServer> ServeSegment(sim::Simulator& simulator,
                                                 const std::string& interface) {
    auto segment = std::make_unique<sim::SegmentServer>(interface, sim::LineOf(simulator));
    std::string error;
    if (!segment->Start(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return nullptr;
    }
    return segment;
}

int Run(const Settings& s) {
    if (s.mailboxOnly)
        return pelvane::bench::TimeMailboxes(
            {s.segmentInterface, s.masterInterface, kSimAddress, kGatewayAddress});
    std::string error;
    auto bus = sim::LoadBusFile(s.busPath, &error);
    if (!bus) {
        std::fprintf(stderr, "%s: %s\n", s.busPath.c_str(), error.c_str());
        return 1;
    }
    const std::size_t busNodes = bus->nodes.size();
    sim::SimulatorOptions options;
    options.address = kSimAddress;
    options.discovery = false;
    sim::Simulator simulator(std::move(*bus), options);
    if (!simulator.server().Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    if (s.lossOnly) {
        const auto segment = ServeSegment(simulator, s.segmentInterface);
        return segment ? TimeLoss(s, simulator, *segment, busNodes) : 1;
    }
    const auto reflected = s.recoveryOnly ? std::vector<Figures>{} : ReflectedRoundTrips(s);
    if (reflected.empty() && !s.recoveryOnly) return 1;
    const auto segment = ServeSegment(simulator, s.segmentInterface);
    if (!segment) return 1;
    if (!s.recoveryOnly) {
        auto link = ecat::RawLink::Open(s.masterInterface, &error);
        if (!link) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        ecat::Master master(*link, link->mac());
        std::vector<Figures> emulated;
        for (const TestFrame& frame : TestFrames())
            emulated.push_back(RoundTrips(master, frame.datagrams, s.roundTrips));
        PrintRoundTrips(s, reflected, emulated);
        for (const double eepromMs : {0.3, 3.0})
            TimeScans(simulator, master, s.scans, eepromMs, busNodes);
        SetEepromTime(simulator, busNodes, 0.3);
    }
    kestrum::gateway::Gateway gateway({s.masterInterface, kGatewayAddress, 10, 0, false});
    if (!gateway.Start(&error) || !MsUntilServed(gateway, busNodes, true)) {
        std::fprintf(stderr, "gateway: %s\n", error.empty() ? "no complete scan" : error.c_str());
        return 1;
    }
    if (!s.recoveryOnly) ComparePolls(s);
    TimePulls(s, simulator, gateway, busNodes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"The gateway's frames, scans and polls on a veth pair"};
    Settings s;
    app.add_option("segment", s.segmentInterface, "veth end the emulated segment answers on")
        ->required();
    app.add_option("master", s.masterInterface, "its peer, where the master sends")->required();
    app.add_option("--bus", s.busPath, "bus file")->capture_default_str();
    app.add_option("--round-trips", s.roundTrips)->check(CLI::Range(10, 1000000));
    app.add_option("--scans", s.scans)->check(CLI::Range(1, 100000));
    app.add_option("--polls", s.polls)->check(CLI::Range(1, 10000));
    app.add_option("--pulls", s.pulls, "times the line is pulled and plugged in again")
        ->check(CLI::Range(1, 1000));
    auto* recovery =
        app.add_flag("--recovery-only", s.recoveryOnly, "only pull the line and plug it in again");
    app.add_flag("--loss-only", s.lossOnly,
                 "only the lossy line and the large SII read, through the gateway's scan loop")
        ->excludes(recovery);
    app.add_option("--loss-seconds", s.lossSeconds, "time at each share of frames lost")
        ->check(CLI::Range(0.5, 600.0))
        ->capture_default_str();
    app.add_flag("--mailbox-only", s.mailboxOnly,
                 "only drives' status words through their mailboxes, 50 drives of their own");
    CLI11_PARSE(app, argc, argv);
    if (!OnlyOurVethPair(s)) return 2;
    return Run(s);
}
