#include "bench/gateway_mailbox.h"

#include <ifaddrs.h>
#include <linux/if_link.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/window_poll.h"
#include "controller/controller_link.h"
#include "controller/controller_state.h"
#include "gateway/gateway.h"
#include "kestrum.h"
#include "kestrum_sim/segment_server.h"
#include "kestrum_sim/simulator.h"

namespace pelvane::bench {
namespace {

namespace gateway = kestrum::gateway;
namespace sim = kestrum::sim;
using Clock = std::chrono::steady_clock;

constexpr double kWindowPeriodMs = 300;

// Drives answering their mailboxes in 1 to 5 ms, as drives do, left in SAFEOP by the
// watchdog when their controller was unplugged.
std::string DrivesBus(int drives) {
    std::string nodes;
    for (int i = 0; i < drives; ++i) {
        if (i > 0) nodes += ",\n";
        nodes += "{\"vendorId\": \"0x41B\", \"deviceId\": \"0x10305070\", \"switchNo\": " +
                 std::to_string(i + 1) + ", \"axisCount\": 1, \"statusWord\": \"0x1237\", " +
                 "\"alState\": \"SAFEOP\", \"alError\": true, \"alStatusCode\": \"0x001B\", " +
                 "\"mailboxDelayMs\": " + std::to_string(1 + i % 5) +
                 ", \"coe\": [{\"index\": \"0x6041\", \"subindex\": 0, \"bytes\": 2}, " +
                 "{\"index\": \"0x6061\", \"subindex\": 0, \"bytes\": 1, \"value\": \"0x08\"}]}";
    }
    return "{\"controller\": {\"model\": \"KSM464\", \"versionDate\": \"20261101\", "
           "\"serialNumber\": \"00030000\"}, \"lostCount\": 0, \"nodes\": [\n" +
           nodes + "]}";
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// From the kernel's own count: sysfs may show another namespace's interfaces.
uint64_t SentFrames(const std::string& interface) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return 0;
    uint64_t packets = 0;
    for (const ifaddrs* it = list; it != nullptr; it = it->ifa_next)
        if (it->ifa_addr != nullptr && it->ifa_addr->sa_family == AF_PACKET &&
            it->ifa_data != nullptr && interface == it->ifa_name)
            packets = static_cast<const rtnl_link_stats*>(it->ifa_data)->tx_packets;
    freeifaddrs(list);
    return packets;
}

bool AwaitIdentities(const gateway::Gateway& gateway, std::size_t nodes) {
    const auto until = Clock::now() + std::chrono::seconds(30);
    while ((gateway.servedNodes() != nodes || gateway.servedIdentities() != nodes) &&
           Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return gateway.servedIdentities() == nodes;
}

// SDO_READ of an object no poll keeps, so that every one goes through a mailbox.
std::optional<std::vector<double>> RoundTrips(KST_HANDLE link, const MailboxSettings& s) {
    std::vector<double> ms;
    char reply[256];
    for (int i = 0; i < s.roundTrips; ++i) {
        const std::string command = "SDO_READ(0," + std::to_string(i % s.drives) + ",24673,0,7,1)";
        const auto start = Clock::now();
        const int32_t status = KST_Execute(link, command.c_str(), 0, reply, sizeof reply);
        if (status != 0) {
            std::fprintf(stderr, "%s: status %d %s\n", command.c_str(), status, reply);
            return std::nullopt;
        }
        ms.push_back(MsSince(start));
    }
    return ms;
}

struct Polls {
    double firstMs = 0;
    std::vector<double> ms;
    int unread = 0;  // status words the last poll could not read
};

Polls WindowPolls(KST_HANDLE link, const MailboxSettings& s) {
    g_controllerHandle = link;
    WindowPoll poll;
    ErrorCounterTable table{};
    Polls polls;
    auto start = Clock::now();
    poll.Poll(table);
    polls.firstMs = MsSince(start);
    for (int i = 0; i < s.polls; ++i) {
        start = Clock::now();
        poll.Poll(table);
        polls.ms.push_back(MsSince(start));
    }
    for (int node = 0; node < poll.nodeCount; ++node)
        if (table[kStatusWord][static_cast<std::size_t>(node)] == kStatusWordUnread) ++polls.unread;
    g_controllerHandle = nullptr;
    return polls;
}

// Frames a second on the gateway's port for the time given, while work runs.
template <typename Work>
double FramesPerSecond(const std::string& interface, double seconds, Work work) {
    const uint64_t before = SentFrames(interface);
    const auto start = Clock::now();
    while (MsSince(start) < seconds * 1e3) work();
    return static_cast<double>(SentFrames(interface) - before) / (MsSince(start) / 1e3);
}

void Print(const std::vector<double>& rounds, const Polls& polls, double idle, double polling,
           const MailboxSettings& s) {
    std::printf("7. drives' status words through their mailboxes (%d drives answering in 1-5 ms)\n",
                s.drives);
    std::printf(
        "   SDO_READ of 6061H:00 through the gateway, %zu round trips: median %.2f ms, "
        "p99 %.2f ms\n",
        rounds.size(), Percentile(rounds, 50), Percentile(rounds, 99));
    const double p99 = Percentile(polls.ms, 99);
    std::printf(
        "   the window's poll, first %.1f ms, then %zu polls: median %.2f ms, p99 %.2f ms "
        "(p99/%.0f ms period: %.2f); status words unread: %d\n",
        polls.firstMs, polls.ms.size(), Percentile(polls.ms, 50), p99, kWindowPeriodMs,
        p99 / kWindowPeriodMs, polls.unread);
    std::printf(
        "   frames a second on the port: %.0f scanning alone, %.0f while the window polls "
        "every %.0f ms; mailbox frames a second: %.0f\n",
        idle, polling, kWindowPeriodMs, polling - idle);
}

}  // namespace

int TimeMailboxes(const MailboxSettings& s) {
    std::string error;
    auto bus = sim::ParseBus(DrivesBus(s.drives), &error);
    if (!bus) {
        std::fprintf(stderr, "bus: %s\n", error.c_str());
        return 1;
    }
    sim::SimulatorOptions options;
    options.address = s.simAddress;
    options.discovery = false;
    sim::Simulator simulator(std::move(*bus), options);
    sim::SegmentServer segment(s.segmentInterface, sim::LineOf(simulator));
    if (!simulator.server().Start(&error) || !segment.Start(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    gateway::Gateway gateway({s.masterInterface, s.gatewayAddress, 10, 0, false});
    const auto drives = static_cast<std::size_t>(s.drives);
    if (!gateway.Start(&error) || !AwaitIdentities(gateway, drives)) {
        std::fprintf(stderr, "gateway: %s\n", error.empty() ? "no identities" : error.c_str());
        return 1;
    }
    const double idle = FramesPerSecond(
        s.masterInterface, 3, [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
    if (OpenControllerLink(s.gatewayAddress) != 0) return 1;
    KST_HANDLE link = g_controllerHandle;
    const auto rounds = RoundTrips(link, s);
    const Polls polls = WindowPolls(link, s);
    g_controllerHandle = link;
    WindowPoll steady;
    ErrorCounterTable table{};
    const double polling = FramesPerSecond(s.masterInterface, 3, [&] {
        const auto start = Clock::now();
        steady.Poll(table);
        const auto left =
            std::chrono::duration<double, std::milli>(kWindowPeriodMs) - (Clock::now() - start);
        if (left.count() > 0) std::this_thread::sleep_for(left);
    });
    g_controllerHandle = nullptr;
    KST_Close(link);
    if (!rounds) return 1;
    Print(*rounds, polls, idle, polling, s);
    return 0;
}

}  // namespace pelvane::bench
