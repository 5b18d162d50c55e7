#include "exporter/metrics.h"

#include <array>
#include <string>

#include "nodes/node_cells.h"
#include "nodes/vendor_table.h"

namespace pelvane::exporter {

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;
using Labels = std::vector<ClientMetric::Label>;

// The families in the order they are served.
enum Family : int {
    kUp,
    kNodes,
    kNodeCountDrops,
    kLostCount,
    kErrorRegister,
    kPortErrors,
    kSaturated,
    kStatusWord,
    kNodeInfo,
    kPollDuration
};

std::vector<MetricFamily> EmptyFamilies() {
    auto family = [](const char* name, const char* help, MetricType type) {
        return MetricFamily{name, help, type, {}};
    };
    return {
        family("pelvane_up", "1 while the last poll of the controller succeeded",
               MetricType::Gauge),
        family("pelvane_nodes", "Nodes on the bus, as polled", MetricType::Gauge),
        family("pelvane_node_count_drops_total",
               "Polls whose node count fell below the poll before: the line broke",
               MetricType::Counter),
        family("pelvane_lost_count", "The number in the controller's Lostcount text",
               MetricType::Gauge),
        family("pelvane_error_register", "Receive-error register 300H to 303H, raw value",
               MetricType::Gauge),
        family("pelvane_port_errors_total",
               "Rises of the receive-error register seen since the exporter started",
               MetricType::Counter),
        family("pelvane_register_saturated", "1 when the 8-bit register stands at 255",
               MetricType::Gauge),
        family("pelvane_drive_status_word", "Drive status word (6041H); 0 without axes",
               MetricType::Gauge),
        family("pelvane_node_info", "Identity of the node at the position", MetricType::Gauge),
        family("pelvane_poll_duration_seconds", "Time one poll of the controller took",
               MetricType::Histogram),
    };
}

ClientMetric Gauge(Labels labels, double value) {
    ClientMetric metric;
    metric.label = std::move(labels);
    metric.gauge.value = value;
    return metric;
}

ClientMetric Counter(Labels labels, int64_t value) {
    ClientMetric metric;
    metric.label = std::move(labels);
    metric.counter.value = static_cast<double>(value);
    return metric;
}

void AddNode(std::vector<MetricFamily>& families, const std::string& controller,
             const NodeSample& node) {
    const std::string position = std::to_string(node.node);
    for (int k = 0; k < kCounterCount; ++k) {
        const RegisterRise& reg = node.registers[static_cast<size_t>(k)];
        // Never read yet: there is no value to report, and no baseline to count from.
        if (!reg.seen) continue;
        const Labels labels = {
            {"controller", controller}, {"node", position}, {"register", CounterName(k)}};
        families[kErrorRegister].metric.push_back(Gauge(labels, reg.value));
        families[kPortErrors].metric.push_back(Counter(labels, reg.total));
        families[kSaturated].metric.push_back(Gauge(labels, CounterSaturated(reg.value)));
    }
    if (node.statusWord) {
        families[kStatusWord].metric.push_back(
            Gauge({{"controller", controller}, {"node", position}}, *node.statusWord));
    }
    families[kNodeInfo].metric.push_back(Gauge({{"controller", controller},
                                                {"node", position},
                                                {"vendor_id", FormatHex(node.vendorId)},
                                                {"vendor", VendorNameUtf8(node.vendorId)},
                                                {"device_id", FormatHex(node.deviceId)}},
                                               1));
}

void AddController(std::vector<MetricFamily>& families, const ControllerPoller& poller) {
    const std::string& controller = poller.address();
    const Labels labels = {{"controller", controller}};
    ClientMetric duration = poller.pollDuration();
    duration.label = labels;
    families[kPollDuration].metric.push_back(std::move(duration));

    const auto sample = poller.sample();
    families[kUp].metric.push_back(Gauge(labels, sample->up ? 1 : 0));
    // A controller that does not answer has no bus to report.
    if (!sample->up) return;
    families[kNodes].metric.push_back(Gauge(labels, sample->nodeCount));
    families[kNodeCountDrops].metric.push_back(Counter(labels, sample->nodeCountDrops));
    if (sample->lostCount) {
        families[kLostCount].metric.push_back(
            Gauge(labels, static_cast<double>(*sample->lostCount)));
    }
    for (const NodeSample& node : sample->nodes) AddNode(families, controller, node);
}

}  // namespace

std::vector<MetricFamily> BusMetrics::Collect() const {
    std::vector<MetricFamily> families = EmptyFamilies();
    for (const ControllerPoller* poller : pollers_) AddController(families, *poller);
    return families;
}

}  // namespace pelvane::exporter
