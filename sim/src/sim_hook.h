// The simulator's faults on its links: @SIM commands answered before the controller,
// replies delayed, made odd, cut, oversized, misnumbered or sent a byte at a time; and
// answers as a controller of another make gives them.
#pragma once

#include <map>
#include <optional>
#include <string_view>

#include "kestrum/server/link_hook.h"
#include "sim/src/foreign_dialect.h"
#include "sim/src/sim_commands.h"

namespace kestrum::sim {

class SimHook final : public server::LinkHook {
  public:
    // model answers the dialect's second register byte; commands the @SIM ones.
    SimHook(server::ControllerModel& model, SimCommands& commands, ForeignDialect dialect)
        : model_(model), commands_(commands), dialect_(dialect) {}

    std::optional<server::Intercepted> Intercept(server::LinkId sender, std::string_view command,
                                                 Clock::time_point now) override;
    void Answered(std::string_view command, Outcome& answer) override;
    void Shape(server::LinkId link, server::Delivery& reply) override;
    bool Bytewise(server::LinkId link) const override;
    void Opened(server::LinkId link) override { faults_[link] = {}; }
    void Closed(server::LinkId link) override { faults_.erase(link); }

  private:
    struct Faults {
        bool bytewise = false;
        bool wrongSeq = false;
        bool cut = false;
        bool oversize = false;
    };
    static void Apply(Faults& faults, const LinkEffect& effect);

    server::ControllerModel& model_;
    SimCommands& commands_;
    ForeignDialect dialect_;
    std::map<server::LinkId, Faults> faults_;
};

}  // namespace kestrum::sim
