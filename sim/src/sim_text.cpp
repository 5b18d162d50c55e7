#include "sim/src/sim_text.h"

#include <charconv>
#include <cmath>

#include "kestrum/language/status_codes.h"
#include "kestrum/server/command_text.h"

namespace kestrum::sim {

using server::TrimBlanks;

std::optional<double> ToRate(std::string_view s) {
    double v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(v) || v < 0.0 || v > 1e6)
        return std::nullopt;
    return v;
}

std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> words;
    while (true) {
        s = TrimBlanks(s);
        if (s.empty()) return words;
        auto end = s.find_first_of(" \t");
        words.push_back(s.substr(0, end));
        if (end == std::string_view::npos) return words;
        s.remove_prefix(end);
    }
}

server::Outcome Ok() {
    return server::Print("OK");
}

server::Outcome Bad() {
    return server::Error(language::kBadArgument, "bad @SIM arguments");
}

}  // namespace kestrum::sim
