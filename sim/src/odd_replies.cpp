// Odd replies: @SIM ODD's rules by command prefix, and a reply made odd by the first rule
// that matches its command.
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <utility>

#include "kestrum/server/command_text.h"
#include "sim/src/sim_text.h"
#include "sim/src/sim_commands.h"

namespace kestrum::sim {
namespace {

using namespace server;
using language::kBadArgument;

constexpr int32_t kMaxOddCode = 9999;

}  // namespace

std::optional<Outcome> SimCommands::OddCommand(const std::vector<std::string_view>& w) {
    std::string_view verb = w[0];
    std::size_t argc = w.size() - 1;
    if (verb != "ODD" || !(argc == 2 || (argc == 3 && w[2] == "ERROR"))) return std::nullopt;
    std::string prefix(w[1]);
    constexpr std::pair<std::string_view, Odd> kModes[] = {{"WORD", Odd::kWord},
                                                           {"EMPTY", Odd::kEmpty},
                                                           {"LONG", Odd::kLong},
                                                           {"BINARY", Odd::kBinary},
                                                           {"ERROR", Odd::kError}};
    const auto* mode = std::find_if(std::begin(kModes), std::end(kModes),
                                    [&](const auto& m) { return m.first == w[2]; });
    // Any status a controller of another make may give, but 0: the command ran.
    const auto code = argc == 3 ? ToInt<int32_t>(w[3]) : std::optional<int32_t>(kBadArgument);
    const bool off = w[2] == "OFF" && argc == 2;
    // Checked before the old rule goes, so that a bad one changes nothing; an @SIM
    // prefix would lock out the switch itself.
    if (!off && (mode == std::end(kModes) || !code || *code < 1 || *code > kMaxOddCode ||
                 prefix.starts_with("@SIM")))
        return Bad();
    std::erase_if(odd_, [&](const OddRule& r) { return r.prefix == prefix; });
    if (off) return Ok();
    if (odd_.size() >= 64) return Bad();
    odd_.push_back({std::move(prefix), mode->second, *code});
    return Ok();
}

void SimCommands::ApplyOdd(std::string_view command, Outcome& out) const {
    for (const auto& rule : odd_) {
        if (!command.starts_with(rule.prefix)) continue;
        switch (rule.mode) {
            case Odd::kWord:
                out.text = "busy\r\n";
                break;
            case Odd::kEmpty:
                out.text.clear();
                break;
            case Odd::kLong: {
                std::string text = out.text;
                if (text.size() >= 2 && text.ends_with("\r\n")) text.resize(text.size() - 2);
                std::size_t total = std::max<std::size_t>(3000, text.size() + 100);
                text.push_back(' ');
                text.append(total - 2 - text.size(), '#');
                text += "\r\n";
                out.text = std::move(text);
                break;
            }
            case Odd::kBinary:
                out.text = std::string("\xff\xfe\0\x80 binary \x01\r\n", 15);
                break;
            case Odd::kError:
                // As a controller that does not know the item or command refuses it.
                out = Error(rule.code, "no such item");
                break;
        }
        return;
    }
}

}  // namespace kestrum::sim
