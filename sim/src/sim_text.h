// How @SIM commands and bus files read their words and rates.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace kestrum::sim {

// The blank-separated words.
std::vector<std::string_view> Words(std::string_view s);

// A finite number from 0 to 1e6, fractions allowed.
std::optional<double> ToRate(std::string_view s);

}  // namespace kestrum::sim
