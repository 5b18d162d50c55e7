// The simulator and the gateway, told the same line, answer every node item alike: the
// language prints both, so any difference is the models'.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "gateway/gateway_model.h"
#include "kestrum/language/node_items.h"
#include "kestrum/server/command_language.h"
#include "kestrum_sim/simulator.h"

namespace kestrum::gateway {
namespace {

using kestrum::server::AnswerCommand;
using kestrum::server::Clock;
using kestrum::server::Outcome;
namespace language = kestrum::language;

// One node as both are told it. IDs are the simulator's signed fields, the SII's words
// their bit pattern; counters stay 8-bit so that both can hold them.
struct Facts {
    int32_t vendor;
    int32_t device;
    std::optional<int32_t> revision;
    int32_t switchNo;
    ecat::IoCounts io;
    int32_t ioBase;
    int32_t aioBase;
    uint16_t dlStatus;  // as the simulator derives it for a line
    std::array<uint8_t, language::kErrorRegisterCount> counters;
};

// 300H..313H with every kind of counter set; 30EH and 30FH, the PDI error code, stay 0.
constexpr std::array<uint8_t, language::kErrorRegisterCount> kCounters = {
    0, 0, 255, 0, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0, 0, 3, 0, 0, 9};

// A line of four, the last with its port 1 closed.
const Facts kLine[] = {
    {0x41B, 0x10305070, 0x00120000, 1, {0, 0, 0, 0, 1}, 0, 0, 0x5A31, {1, 2, 3, 4}},
    {0x41B, 0x20010, 7, 4, {16, 8, 0, 0, 0}, 0, 0, 0x5A31, kCounters},
    {-2147483647, 5, std::nullopt, 5, {4, 4, 4, 2, 0}, 16, 0, 0x5A31, {}},
    {2, 0x7FFFFFFF, -1, 0, {0, 32, 0, 0, 0}, 20, 4, 0x5611, {0, 1, 0, 1}},
};

// Where the two answer apart, and why.
struct Difference {
    int32_t node;
    int32_t item;
    const char* why;
};
const Difference kDifferences[] = {
    {2, language::kItemRevision,
     "a bus file without a revision keeps the simulator's refusal; an SII always has one"},
};

kestrum::sim::Bus SimBus() {
    kestrum::sim::Bus bus;
    for (const Facts& f : kLine) {
        kestrum::sim::Node& n = bus.nodes.emplace_back();
        n.vendorId = f.vendor;
        n.deviceId = f.device;
        n.revision = f.revision.value_or(0);
        n.revisionGiven = f.revision.has_value();
        n.switchNo = f.switchNo;
        n.inputCount = f.io.inputs;
        n.outputCount = f.io.outputs;
        n.adCount = f.io.ad;
        n.daCount = f.io.da;
        n.axisCount = f.io.axes;
        n.ioBase = f.ioBase;
        n.aioBase = f.aioBase;
        std::copy(f.counters.begin(), f.counters.end(), n.counters.begin());
    }
    return bus;
}

std::shared_ptr<ecat::BusScan> GatewayScan(Clock::time_point now) {
    auto scan = std::make_shared<ecat::BusScan>();
    for (const Facts& f : kLine) {
        ecat::NodeScan& node = scan->nodes.emplace_back();
        node.siiRead = node.registersRead = true;
        node.readAt = now;
        node.sii.vendorId = static_cast<uint32_t>(f.vendor);
        node.sii.productCode = static_cast<uint32_t>(f.device);
        node.sii.revision = static_cast<uint32_t>(f.revision.value_or(0));
        node.alias = static_cast<uint16_t>(f.switchNo);
        node.io = f.io;
        node.dlStatus = f.dlStatus;
        node.counters = f.counters;
    }
    scan->counted = scan->nodes.size();
    return scan;
}

bool Differs(int32_t node, int32_t item) {
    return std::any_of(std::begin(kDifferences), std::end(kDifferences),
                       [&](const Difference& d) { return d.node == node && d.item == item; });
}

// Identical texts when both answer, identical statuses when both refuse.
bool Alike(const Outcome& sim, const Outcome& gateway) {
    return sim.status == gateway.status && (sim.status != 0 || sim.text == gateway.text);
}

TEST(ModelsAgree, EveryNodeItemAndEveryBulkReadAnswersAlikeButTheListedDifferences) {
    const Clock::time_point now = Clock::now();
    kestrum::sim::Simulator sim(SimBus(), {}, {}, now);
    GatewayModel gateway{{"20261208", "0A1B2C3D4E5F", 10}};
    gateway.Update({GatewayScan(now), 0, LineCondition::kUp, 0, {}});
    const auto ask = [&](const std::string& command) {
        const Outcome s = sim.responder().Answer(kestrum::server::kNoLink, command, now).outcome;
        const Outcome g = AnswerCommand(gateway, command, now);
        return std::pair(s, g);
    };
    // The whole error block, and a read past its end.
    const std::string block = ",768," + std::to_string(language::kErrorRegisterCount) + ")";
    const std::string past =
        "," + std::to_string(language::kItemRegister300H + language::kErrorRegisterCount - 2) +
        ",3)";
    for (int32_t node = 0; node < static_cast<int32_t>(std::size(kLine)); ++node) {
        const std::string n = std::to_string(node);
        // Past the last register item too: the unknown ones are refused alike.
        for (int32_t item = -1; item <= language::kItemRegister300H + 0x20; ++item) {
            const auto [s, g] = ask("?NODE_INFO(0," + n + "," + std::to_string(item) + ")");
            EXPECT_EQ(Alike(s, g), !Differs(node, item))
                << "node " << node << " item " << item << ": " << s.text << " / " << g.text;
            // Alike in refusing everything would prove nothing.
            EXPECT_EQ(g.status == 0, language::IsNodeItem(item)) << item;
        }
        for (const std::string& command :
             {"?NODE_AXIS_COUNT(0," + n + ")", "?NODE_IO(0," + n + ")", "?NODE_AIO(0," + n + ",0)",
              "?NODE_REGS(0," + n + block, "?NODE_REGS(0," + n + ",272,2)",
              "?NODE_REGS(0," + n + past}) {
            const auto [s, g] = ask(command);
            EXPECT_TRUE(Alike(s, g)) << command << ": " << s.text << " / " << g.text;
        }
    }
}

}  // namespace
}  // namespace kestrum::gateway
