// A controller of another make behind the same link: it knows only what our window asks,
// numbers its errors its own way and may read a register item as two bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrum/server/controller_model.h"

namespace kestrum::sim {

class ForeignDialect {
  public:
    // The error numbers are drawn from seed whether or not plain is on yet, so that a
    // later "@SIM PLAIN 1" answers as the seed says.
    ForeignDialect(bool plain, bool wideRegisters, uint32_t seed);

    // "@SIM PLAIN 1|0" and "@SIM WIDE 1|0", without "@SIM"; nullopt for other verbs.
    std::optional<server::Outcome> SimCommand(const std::vector<std::string_view>& words);

    // The model's answer to command as this controller gives it; model reads the byte
    // after a wide register.
    void Answer(server::ControllerModel& model, std::string_view command, server::Outcome& answer,
                server::Clock::time_point now) const;
    // Our error numbers as this controller's, last, so that odd refusals get them too.
    void Renumber(server::Outcome& answer) const;

  private:
    bool plain_;
    bool wide_;
    std::array<std::pair<int32_t, int32_t>, 5> codes_;  // ours, theirs
};

}  // namespace kestrum::sim
