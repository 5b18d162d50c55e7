// The exporter's metrics for simulated controllers: the numbers, the rise counts across
// clears and saturation, the tree and the counters past 303H, the fallback for a
// controller without register items, and a controller that stops answering beside one
// that does not.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "exporter/metrics.h"
#include "kestrum_sim/simulator.h"
#include "tests/support/loopback_only.h"

namespace pelvane::exporter {
namespace {

using namespace std::chrono_literals;
using Labels = std::vector<std::pair<std::string, std::string>>;

std::unique_ptr<kestrum::sim::Simulator> StartSim(const std::string& address, const char* busFile) {
    std::string error;
    auto bus = kestrum::sim::LoadBusFile(std::string(PELVANE_BUS_DIR) + "/" + busFile, &error);
    EXPECT_TRUE(bus) << error;
    if (!bus) return nullptr;
    kestrum::sim::SimulatorOptions options;
    options.address = address;
    options.discovery = false;
    auto sim = std::make_unique<kestrum::sim::Simulator>(*bus, options);
    EXPECT_TRUE(sim->server().Start(&error)) << error;
    return sim;
}

// Every value of the family's metrics that carry all the labels given.
std::vector<double> Values(const BusMetrics& metrics, const std::string& family,
                           const Labels& labels) {
    std::vector<double> values;
    for (const auto& f : metrics.Collect()) {
        if (f.name != family) continue;
        for (const auto& m : f.metric) {
            bool all = true;
            for (const auto& [name, value] : labels) {
                bool found = false;
                for (const auto& l : m.label) found = found || (l.name == name && l.value == value);
                all = all && found;
            }
            if (all)
                values.push_back(f.type == prometheus::MetricType::Counter ? m.counter.value
                                                                           : m.gauge.value);
        }
    }
    return values;
}

// The value of the one metric of the family that carries all the labels given.
std::optional<double> Value(const BusMetrics& metrics, const std::string& family,
                            const Labels& labels) {
    const std::vector<double> values = Values(metrics, family, labels);
    if (values.empty()) return std::nullopt;
    return values.front();
}

// Waits a bounded time for the metric's value to pass the check.
bool AwaitThat(const BusMetrics& metrics, const std::string& family, const Labels& labels,
               const std::function<bool(std::optional<double>)>& check,
               std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (check(Value(metrics, family, labels))) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// Waits a bounded time for the metric to read value (or to be absent, for nullopt).
bool Await(const BusMetrics& metrics, const std::string& family, const Labels& labels,
           std::optional<double> value, std::chrono::milliseconds limit = 5s) {
    return AwaitThat(
        metrics, family, labels, [&](std::optional<double> v) { return v == value; }, limit);
}

// The demo bus on address, polled every 50 ms, with its metrics.
struct PolledDemo {
    explicit PolledDemo(const std::string& address)
        : sim(StartSim(address, "demo.json")), poller(address, 50ms), metrics({&poller}) {
        poller.Start();
    }
    std::unique_ptr<kestrum::sim::Simulator> sim;
    ControllerPoller poller;
    BusMetrics metrics;
};

// Series of each node, the cable into it counted with it.
std::map<std::string, int> SeriesPerNode(const BusMetrics& metrics) {
    std::map<std::string, int> count;
    for (const auto& f : metrics.Collect()) {
        const std::string key = f.name == "pelvane_topology_info" ? "peer" : "node";
        for (const auto& m : f.metric)
            for (const auto& l : m.label)
                if (l.name == key) ++count[l.value];
    }
    return count;
}

class ExporterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!pelvane::testing::OnlyLoopbackInterfaces())
            GTEST_SKIP() << "needs a private network namespace holding only loopback";
    }
};

TEST_F(ExporterTest, DemoBusGivesTheWindowsNumbers) {
    const std::string address = "127.0.70.1";
    PolledDemo demo(address);
    ASSERT_TRUE(demo.sim);
    auto& sim = demo.sim;
    auto& metrics = demo.metrics;
    const Labels controller = {{"controller", address}};
    ASSERT_TRUE(Await(metrics, "pelvane_up", controller, 1));
    EXPECT_EQ(Value(metrics, "pelvane_nodes", controller), 8);
    EXPECT_EQ(Value(metrics, "pelvane_lost_count", controller), 3);
    EXPECT_EQ(Value(metrics, "pelvane_node_info",
                    {{"node", "0"}, {"vendor_id", "41bH"}, {"device_id", "10305070H"}}),
              1);
    EXPECT_EQ(Value(metrics, "pelvane_drive_status_word", {{"node", "0"}}), 0x1237);
    EXPECT_GE(Value(metrics, "pelvane_error_register", {{"node", "6"}, {"register", "302H"}}), 3);
    // A status word that cannot be read is absent; the counters stay.
    sim->server().Control("@SIM ODD ?NODE_AXIS_COUNT EMPTY");
    EXPECT_TRUE(Await(metrics, "pelvane_drive_status_word", {{"node", "0"}}, std::nullopt));
    EXPECT_TRUE(Value(metrics, "pelvane_error_register", {{"node", "0"}, {"register", "300H"}}));
}

TEST_F(ExporterTest, RisesCountAcrossAClearAndSaturation) {
    const std::string address = "127.0.70.2";
    PolledDemo demo(address);
    ASSERT_TRUE(demo.sim);
    auto& sim = demo.sim;
    auto& metrics = demo.metrics;
    const Labels reg = {{"node", "2"}, {"register", "301H"}};
    ASSERT_TRUE(Await(metrics, "pelvane_port_errors_total", reg, 0));
    sim->server().Control("@SIM SET 2 301H 7");
    ASSERT_TRUE(Await(metrics, "pelvane_port_errors_total", reg, 7));
    sim->server().Control("@SIM SET 2 301H 0");
    ASSERT_TRUE(Await(metrics, "pelvane_error_register", reg, 0));
    EXPECT_EQ(Value(metrics, "pelvane_port_errors_total", reg), 7);
    EXPECT_EQ(Value(metrics, "pelvane_register_saturated", reg), 0);
    // The bulk read gives the 8-bit register as the node holds it.
    sim->server().Control("@SIM SET 2 301H 300");
    ASSERT_TRUE(Await(metrics, "pelvane_error_register", reg, 255));
    EXPECT_EQ(Value(metrics, "pelvane_port_errors_total", reg), 7 + 255);
    EXPECT_EQ(Value(metrics, "pelvane_register_saturated", reg), 1);
    // Other registers of the node took nothing.
    EXPECT_EQ(Value(metrics, "pelvane_port_errors_total", {{"node", "2"}, {"register", "300H"}}),
              0);
}

TEST_F(ExporterTest, ANodeCountThatFallsIsCountedAsADrop) {
    const std::string address = "127.0.70.6";
    PolledDemo demo(address);
    ASSERT_TRUE(demo.sim);
    auto& sim = demo.sim;
    auto& metrics = demo.metrics;
    const Labels controller = {{"controller", address}};
    ASSERT_TRUE(Await(metrics, "pelvane_nodes", controller, 8));
    EXPECT_EQ(Value(metrics, "pelvane_node_count_drops_total", controller), 0);
    sim->server().Control("@SIM NODE_OFF 5 60000");
    ASSERT_TRUE(Await(metrics, "pelvane_nodes", controller, 5));
    EXPECT_EQ(Value(metrics, "pelvane_node_count_drops_total", controller), 1);
    // Nodes that come back are no drop; a line with no node left is one more.
    sim->server().Control("@SIM RESET");
    ASSERT_TRUE(Await(metrics, "pelvane_nodes", controller, 8));
    sim->server().Control("@SIM NODE_OFF 0 60000");
    ASSERT_TRUE(Await(metrics, "pelvane_nodes", controller, 0));
    EXPECT_EQ(Value(metrics, "pelvane_node_count_drops_total", controller), 2);
}

TEST_F(ExporterTest, ANodeSwappedOnAnUnchangedLineShowsItsNewIdentity) {
    const std::string address = "127.0.70.5";
    auto sim = StartSim(address, "demo.json");
    ASSERT_TRUE(sim);
    ControllerPoller poller(address, 50ms, 200ms);
    BusMetrics metrics({&poller});
    poller.Start();
    ASSERT_TRUE(
        Await(metrics, "pelvane_node_info", {{"node", "0"}, {"device_id", "10305070H"}}, 1));
    sim->server().Control("@SIM SET 0 vendorId 1647");
    sim->server().Control("@SIM SET 0 deviceId 17");
    EXPECT_TRUE(Await(metrics, "pelvane_node_info",
                      {{"node", "0"}, {"vendor", "松下"}, {"device_id", "11H"}}, 1));
    EXPECT_EQ(Value(metrics, "pelvane_node_info", {{"node", "0"}, {"device_id", "10305070H"}}),
              std::nullopt);
}

TEST_F(ExporterTest, ThePlantsTreeAndItsLinkAndPdiCounters) {
    const std::string address = "127.0.70.7";
    auto sim = StartSim(address, "plant.json");
    ASSERT_TRUE(sim);
    ControllerPoller poller(address, 50ms);
    BusMetrics metrics({&poller});
    poller.Start();
    ASSERT_TRUE(Await(metrics, "pelvane_pdi_errors_total", {{"node", "19"}}, 0));
    const struct {
        const char* node;
        const char* port;
        const char* peer;
    } cables[] = {{"controller", "1", "0"}, {"0", "2", "1"},  {"2", "4", "3"}, {"2", "2", "7"},
                  {"8", "4", "9"},          {"8", "2", "12"}, {"8", "3", "15"}};
    for (const auto& c : cables)
        EXPECT_EQ(Value(metrics, "pelvane_topology_info",
                        {{"node", c.node}, {"port", c.port}, {"peer", c.peer}}),
                  1)
            << c.node << " port " << c.port;
    // Not the line the positions alone suggest.
    EXPECT_EQ(Value(metrics, "pelvane_topology_info", {{"node", "14"}}), std::nullopt);
    EXPECT_EQ(Values(metrics, "pelvane_topology_info", {}).size(), 20u);
    const std::map<std::string, int> perNode = SeriesPerNode(metrics);
    EXPECT_EQ(perNode.size(), 20u);
    for (const auto& [node, series] : perNode) EXPECT_LE(series, 30) << "Node" << node;
    // Per-port series past 303H only for the ports a node has: the junction's four, a
    // drive's two, a branch end's one.
    EXPECT_EQ(perNode.at("8"), 29);
    EXPECT_EQ(perNode.at("1"), 21);
    EXPECT_EQ(perNode.at("19"), 19);

    sim->server().Control("@SIM LINK_FLAP 8 4 3");
    sim->server().Control("@SIM PDI_ERRORS 5 10");
    // Both ends of the cable lose their link, and no other port does.
    ASSERT_TRUE(Await(metrics, "pelvane_lost_links_total", {{"node", "8"}, {"port", "4"}}, 3));
    ASSERT_TRUE(Await(metrics, "pelvane_lost_links_total", {{"node", "9"}, {"port", "1"}}, 3));
    const std::vector<double> lost = Values(metrics, "pelvane_lost_links_total", {});
    EXPECT_EQ(std::accumulate(lost.begin(), lost.end(), 0.0), 6);
    EXPECT_TRUE(AwaitThat(metrics, "pelvane_pdi_errors_total", {{"node", "5"}},
                          [](std::optional<double> v) { return v > 0; }));
    EXPECT_EQ(Value(metrics, "pelvane_pdi_errors_total", {{"node", "4"}}), 0);
    EXPECT_EQ(Value(metrics, "pelvane_processing_unit_errors_total", {{"node", "5"}}), 0);
}

// A controller that knows neither ?NODE_REGS nor the register items gives the four
// counters the window reads and no tree; on a new link the bulk read is asked again.
// A controller of another make: only the window's items, its own error numbers.
TEST_F(ExporterTest, AControllerOfAnotherMakeGivesFourCountersAndNoTree) {
    const std::string address = "127.0.70.8";
    auto sim = StartSim(address, "plant.json");
    ASSERT_TRUE(sim);
    sim->server().Control("@SIM PLAIN 1");
    ControllerPoller poller(address, 50ms);
    BusMetrics metrics({&poller});
    poller.Start();
    ASSERT_TRUE(
        Await(metrics, "pelvane_port_errors_total", {{"node", "19"}, {"register", "303H"}}, 0));
    EXPECT_EQ(Values(metrics, "pelvane_port_errors_total", {}).size(), 20u * 4);
    EXPECT_EQ(Values(metrics, "pelvane_error_register", {}).size(), 20u * 4);
    EXPECT_EQ(Value(metrics, "pelvane_counters_unread", {}), 0);
    EXPECT_EQ(Value(metrics, "pelvane_register_source", {{"source", "counters"}}), 1);
    EXPECT_TRUE(Values(metrics, "pelvane_topology_info", {}).empty());
    EXPECT_TRUE(Values(metrics, "pelvane_lost_links_total", {}).empty());
    // A counter it refuses is unread, never its last value served as current.
    sim->server().Control("@SIM ODD ?NODE_INFO(0,2,770) ERROR 4");
    ASSERT_TRUE(Await(metrics, "pelvane_counters_unread", {}, 1));
    EXPECT_TRUE(
        Values(metrics, "pelvane_error_register", {{"node", "2"}, {"register", "302H"}}).empty());

    sim->server().Stop();
    ASSERT_TRUE(Await(metrics, "pelvane_up", {}, 0));
    sim = StartSim(address, "plant.json");
    ASSERT_TRUE(sim);
    EXPECT_TRUE(Await(metrics, "pelvane_topology_info", {{"node", "8"}, {"peer", "15"}}, 1,
                      kFirstRetryDelay * 4));
    EXPECT_EQ(Value(metrics, "pelvane_register_source", {{"source", "bulk"}}), 1);
}

TEST_F(ExporterTest, AStoppedControllerGoesDownAndComesBackWhileOthersGoOn) {
    const std::string a = "127.0.70.3";
    const std::string b = "127.0.70.4";
    auto simA = StartSim(a, "demo.json");
    auto simB = StartSim(b, "large.json");
    ASSERT_TRUE(simA && simB);
    ControllerPoller pollerA(a, 50ms);
    ControllerPoller pollerB(b, 50ms);
    BusMetrics metrics({&pollerA, &pollerB});
    pollerA.Start();
    pollerB.Start();
    // Each thread polls over its own link: the buses must not mix.
    ASSERT_TRUE(Await(metrics, "pelvane_nodes", {{"controller", a}}, 8));
    ASSERT_TRUE(Await(metrics, "pelvane_nodes", {{"controller", b}}, 200));

    simA->server().Stop();
    ASSERT_TRUE(Await(metrics, "pelvane_up", {{"controller", a}}, 0));
    EXPECT_EQ(Value(metrics, "pelvane_nodes", {{"controller", a}}), std::nullopt);
    EXPECT_EQ(Value(metrics, "pelvane_up", {{"controller", b}}), 1);
    EXPECT_EQ(Value(metrics, "pelvane_nodes", {{"controller", b}}), 200);

    simA = StartSim(a, "demo.json");
    ASSERT_TRUE(simA);
    EXPECT_TRUE(Await(metrics, "pelvane_up", {{"controller", a}}, 1, kFirstRetryDelay * 4));
    EXPECT_EQ(Value(metrics, "pelvane_nodes", {{"controller", a}}), 8);
}

}  // namespace
}  // namespace pelvane::exporter
