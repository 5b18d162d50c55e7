// The exporter's metrics for simulated controllers: the numbers, the rise counts across
// clears and saturation, and a controller that stops answering beside one that does not.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

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

// The value of the one metric of the family that carries all the labels given.
std::optional<double> Value(const BusMetrics& metrics, const std::string& family,
                            const Labels& labels) {
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
                return f.type == prometheus::MetricType::Counter ? m.counter.value : m.gauge.value;
        }
    }
    return std::nullopt;
}

// Waits a bounded time for the metric to read value (or to be absent, for nullopt).
bool Await(const BusMetrics& metrics, const std::string& family, const Labels& labels,
           std::optional<double> value, std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (Value(metrics, family, labels) == value) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
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
    sim->server().Control("@SIM SET 2 301H 300");
    ASSERT_TRUE(Await(metrics, "pelvane_error_register", reg, 300));
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
