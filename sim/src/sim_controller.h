// The simulated controller: its bus as the command language reads it and the segment
// plays it, the counters rising at the rates faults give them, changed only through its
// controls, as @SIM commands ask. No sockets, no replies of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrum/server/controller_model.h"
#include "kestrum_sim/bus.h"
#include "kestrum_sim/sim_model.h"
#include "sim/src/bus_controls.h"
#include "sim/src/fault_rates.h"

namespace kestrum::sim {

using server::NodeValue;

class SimController final : public SimModel, public BusControls {
  public:
    explicit SimController(Bus bus, Clock::time_point now = Clock::now());

    std::string Model() const override { return bus_.model; }
    std::string VersionDate() const override { return bus_.versionDate; }
    std::string SerialNumber() const override { return bus_.serialNumber; }
    std::string Report(Clock::time_point now) override;
    int32_t NodeCount(Clock::time_point now) override { return VisibleNodes(now); }
    NodeValue NodeItem(int32_t node, int32_t item, Clock::time_point now) override;
    NodeValue AxisCount(int32_t node) override { return At(node).axisCount; }
    NodeValue IoBase(int32_t node) override { return At(node).ioBase; }
    NodeValue AioBase(int32_t node) override { return At(node).aioBase; }
    NodeValue SdoRead(int32_t node, int32_t index, int32_t subindex, int32_t type) override;

    LineState Line(Clock::time_point now) const override;

    std::size_t NodesOnBus() const override { return bus_.nodes.size(); }
    void Reset(Clock::time_point now) override;
    void SetCounterRate(std::size_t node, int port, double rate, Clock::time_point now) override;
    void SetLostRate(double rate, Clock::time_point now) override;
    void SwitchOff(int32_t node, Clock::time_point until) override;
    bool SetField(std::size_t node, std::string_view name, std::string_view text,
                  Clock::time_point now) override;
    void SetFaultRate(std::size_t node, TreeFault fault, double rate,
                      Clock::time_point now) override;
    void FlapLink(std::size_t node, std::size_t escPort, int32_t count) override;
    void SetAl(std::size_t node, int32_t state, int32_t code, bool error, bool deviceId) override;
    bool RaiseEmergency(std::size_t node, uint16_t code) override;
    LineFaults& lineFaults() override { return line_; }
    void SetTableValue(int32_t index, float value) override { table().Set(index, value); }

  private:
    struct NodeOff {
        int32_t node;
        Clock::time_point until;
    };

    const Node& At(int32_t node) const { return bus_.nodes[static_cast<std::size_t>(node)]; }
    // The nodes a frame sent round the line reaches now, in line order.
    std::vector<SegmentNode> SegmentNodes(Clock::time_point now) const;
    void CableShare(std::size_t node, double delta, Clock::time_point now);

    int32_t VisibleNodes(Clock::time_point now);
    int32_t LineEnd(Clock::time_point now) const;  // the first node off, or the node count
    // The node's DL status with the nodes before end on the bus.
    uint16_t NodeDlStatus(std::size_t node, int32_t end) const;
    // Register 300H + reg, 0 <= reg < language::kErrorRegisterCount.
    int32_t Counter(std::size_t node, int reg, Clock::time_point now) const;
    int32_t LostCount(Clock::time_point now) const;
    // Takes the risen values as new bases, so that a rate change keeps what has counted so far.
    void RebaseCounters(std::size_t node, int port, Clock::time_point now);
    void RebaseLost(Clock::time_point now);

    Bus bus_;
    // By node and slave-controller port, the node hanging there, or -1.
    std::vector<std::array<int32_t, 4>> childOn_;
    FaultRates rises_;
    // By node, the rates of its cable, processing-unit and PDI faults now.
    std::vector<std::array<double, 3>> faultRate_;
    std::vector<std::array<Clock::time_point, 2>> rateStart_;
    Clock::time_point lostStart_;
    std::vector<NodeOff> nodeOff_;
    // By node: how many emergencies were raised, and the latest codes.
    std::vector<std::pair<uint32_t, std::array<uint16_t, 4>>> emergencies_;
    LineFaults line_;
};

}  // namespace kestrum::sim
