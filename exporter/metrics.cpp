#include "exporter/metrics.h"

#include <array>
#include <string>

#include "kestrum/language/error_registers.h"
#include "nodes/node_cells.h"
#include "nodes/registers.h"
#include "nodes/topology.h"
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
    kForwarded,
    kLostLinks,
    kProcessingUnit,
    kPdi,
    kStatusWord,
    kNodeInfo,
    kTopology,
    kCountersUnread,
    kRegisterSource,
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
               "Rises of the invalid-frame and RX-error registers (300H to 307H) seen since "
               "the exporter started",
               MetricType::Counter),
        family("pelvane_register_saturated", "1 when the 8-bit register stands at 255",
               MetricType::Gauge),
        family("pelvane_forwarded_errors_total",
               "Rises of the forwarded-error register of the port (308H to 30BH): frames an "
               "upstream node already marked bad",
               MetricType::Counter),
        family("pelvane_lost_links_total",
               "Rises of the lost-link register of the port (310H to 313H)", MetricType::Counter),
        family("pelvane_processing_unit_errors_total",
               "Rises of the processing-unit error register (30CH); it also counts the bad "
               "frames of 300H and 308H",
               MetricType::Counter),
        family("pelvane_pdi_errors_total", "Rises of the PDI error register (30DH)",
               MetricType::Counter),
        family("pelvane_drive_status_word", "Drive status word (6041H); 0 without axes",
               MetricType::Gauge),
        family("pelvane_node_info", "Identity of the node at the position", MetricType::Gauge),
        family("pelvane_topology_info",
               "One cable of the tree, seen from its upstream node and port; none for a "
               "controller that reports no DL status",
               MetricType::Gauge),
        family("pelvane_counters_unread",
               "Counters 300H to 303H the last poll could not read, over all nodes",
               MetricType::Gauge),
        family("pelvane_register_source",
               "1 for how the registers are read: bulk, items, or counters (300H to 303H "
               "alone, from a controller that knows neither)",
               MetricType::Gauge),
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

// The rise since the first reading; a register never read has no baseline to count from.
void AddRise(MetricFamily& family, const NodeSample& node, int reg, Labels labels) {
    const RegisterRise& rise = node.registers[static_cast<size_t>(reg)];
    if (rise.seen) family.metric.push_back(Counter(std::move(labels), rise.total));
}

// pelvane_port_errors_total serves the invalid frames and RX errors of all four ports. The
// raw value and saturation stay with the four the window shows.
void AddRegisters(std::vector<MetricFamily>& families, const Labels& at, const NodeSample& node) {
    using kestrum::language::ErrorKind;
    for (const kestrum::language::ErrorRegister& r : kestrum::language::kErrorRegisters) {
        if (r.kind != ErrorKind::kInvalidFrame && r.kind != ErrorKind::kRxError) continue;
        const int reg = r.offset;
        // 300H..303H as ever; a port 3 or 4 only where the node has one.
        if (reg >= kCounterCount && !node.ports[static_cast<size_t>(r.escPort)]) continue;
        Labels labels = at;
        labels.push_back({"register", RegisterName(reg)});
        const RegisterRise& rise = node.registers[static_cast<size_t>(reg)];
        // A value the last poll could not read is not served as current.
        if (reg < kCounterCount && node.readNow[static_cast<size_t>(reg)]) {
            families[kErrorRegister].metric.push_back(Gauge(labels, rise.value));
            families[kSaturated].metric.push_back(Gauge(labels, CounterSaturated(rise.value)));
        }
        AddRise(families[kPortErrors], node, reg, std::move(labels));
    }
    for (int escPort = 0; escPort < kestrum::language::kEscPortCount; ++escPort) {
        if (!node.ports[static_cast<size_t>(escPort)]) continue;
        Labels labels = at;
        labels.push_back({"port", std::to_string(PortLabel(escPort))});
        AddRise(families[kForwarded], node, ForwardedRegister(escPort), labels);
        AddRise(families[kLostLinks], node, LostLinkRegister(escPort), std::move(labels));
    }
    AddRise(families[kProcessingUnit], node, kProcessingUnitRegister, at);
    AddRise(families[kPdi], node, kPdiRegister, at);
}

void AddNode(std::vector<MetricFamily>& families, const std::string& controller,
             const NodeSample& node) {
    const std::string position = std::to_string(node.node);
    const Labels at = {{"controller", controller}, {"node", position}};
    AddRegisters(families, at, node);
    if (node.statusWord) families[kStatusWord].metric.push_back(Gauge(at, *node.statusWord));
    families[kNodeInfo].metric.push_back(Gauge({{"controller", controller},
                                                {"node", position},
                                                {"vendor_id", FormatHex(node.vendorId)},
                                                {"vendor", VendorNameUtf8(node.vendorId)},
                                                {"device_id", FormatHex(node.deviceId)}},
                                               1));
}

// The cable into node, named from the side it comes from.
void AddCable(std::vector<MetricFamily>& families, const std::string& controller,
              const NodeSample& node) {
    if (!node.placed) return;
    const std::string upstream = node.parent ? std::to_string(*node.parent) : "controller";
    families[kTopology].metric.push_back(Gauge({{"controller", controller},
                                                {"node", upstream},
                                                {"port", std::to_string(node.parentPort)},
                                                {"peer", std::to_string(node.node)}},
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
    families[kCountersUnread].metric.push_back(Gauge(labels, sample->countersUnread));
    for (const RegisterSource source :
         {RegisterSource::kBulk, RegisterSource::kItems, RegisterSource::kCountersOnly})
        families[kRegisterSource].metric.push_back(
            Gauge({{"controller", controller}, {"source", RegisterSourceName(source)}},
                  source == sample->registerSource ? 1 : 0));
    if (sample->lostCount) {
        families[kLostCount].metric.push_back(
            Gauge(labels, static_cast<double>(*sample->lostCount)));
    }
    for (const NodeSample& node : sample->nodes) {
        AddNode(families, controller, node);
        // Without DL status the tree is only assumed to be a line: no cable is claimed.
        if (sample->topologyReported) AddCable(families, controller, node);
    }
}

}  // namespace

std::vector<MetricFamily> BusMetrics::Collect() const {
    std::vector<MetricFamily> families = EmptyFamilies();
    for (const ControllerPoller* poller : pollers_) AddController(families, *poller);
    return families;
}

}  // namespace pelvane::exporter
