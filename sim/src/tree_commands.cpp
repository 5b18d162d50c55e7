// The @SIM commands for the faults that follow the bus's tree: CABLE, PU_ERRORS and
// PDI_ERRORS rates, and LINK_FLAP.
#include <cstddef>
#include <cstdint>

#include "kestrum/server/command_text.h"
#include "sim/src/sim_commands.h"
#include "sim/src/sim_text.h"

namespace kestrum::sim {
namespace {

using server::Error;
using server::Print;
using server::ToInt;

constexpr int32_t kMaxFlaps = 255;

}  // namespace

std::optional<Outcome> SimCommands::TreeCommand(const std::vector<std::string_view>& w,
                                                Clock::time_point now) {
    const std::string_view verb = w[0];
    const std::size_t argc = w.size() - 1;
    const bool rated = verb == "CABLE" || verb == "PU_ERRORS" || verb == "PDI_ERRORS";
    if (!(rated && argc == 2) && !(verb == "LINK_FLAP" && argc == 3)) return std::nullopt;
    const auto node = ToInt<int32_t>(w[1]);
    if (!node || *node < 0 || *node >= static_cast<int32_t>(bus_.NodesOnBus())) return Bad();
    const auto n = static_cast<std::size_t>(*node);
    if (verb == "LINK_FLAP") {
        const auto port = ToInt<int32_t>(w[2]);
        const auto count = ToInt<int32_t>(w[3]);
        if (!port || *port < 1 || *port > 4 || !count || *count < 0 || *count > kMaxFlaps)
            return Bad();
        bus_.FlapLink(n, static_cast<std::size_t>(*port - 1), *count);
        return Print("OK");
    }
    const auto rate = ToRate(w[2]);
    if (!rate) return Bad();
    const TreeFault fault = verb == "CABLE"       ? TreeFault::kCable
                            : verb == "PU_ERRORS" ? TreeFault::kProcessingUnit
                                                  : TreeFault::kPdi;
    bus_.SetFaultRate(n, fault, *rate, now);
    return Print("OK");
}

}  // namespace kestrum::sim
