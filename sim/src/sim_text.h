// How @SIM commands and bus files read their words and rates, and what the commands answer.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "kestrum/server/controller_model.h"

namespace kestrum::sim {

// The blank-separated words.
std::vector<std::string_view> Words(std::string_view s);

// A finite number from 0 to 1e6, fractions allowed.
std::optional<double> ToRate(std::string_view s);

// What an @SIM command answers: done, or its arguments refused.
server::Outcome Ok();
server::Outcome Bad();

}  // namespace kestrum::sim
