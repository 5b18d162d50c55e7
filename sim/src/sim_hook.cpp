#include "sim/src/sim_hook.h"

#include <algorithm>
#include <chrono>

#include "kestrum/wire/wire.h"
#include "sim/src/sim_text.h"

namespace kestrum::sim {
namespace {

constexpr uint32_t kWrongSeqOffset = 0x10000;
constexpr uint32_t kOversizeLength = wire::kMaxReplyLength + 1000;

unsigned char* Field(server::Delivery& reply, std::size_t offset) {
    return reinterpret_cast<unsigned char*>(reply.bytes.data()) + offset;
}

}  // namespace

std::optional<server::Intercepted> SimHook::Intercept(server::LinkId sender,
                                                      std::string_view command,
                                                      Clock::time_point now) {
    if (!SimCommands::IsSimCommand(command)) return std::nullopt;
    if (auto out = dialect_.SimCommand(Words(command.substr(4)))) return server::Intercepted{*out};
    SimOutcome out = commands_.Run(command.substr(4), now);
    // A control run, or a reset from any link, reaches every link.
    if (sender == server::kNoLink || out.link.clearAll) {
        for (auto& [id, faults] : faults_) Apply(faults, out.link);
    } else if (auto it = faults_.find(sender); it != faults_.end()) {
        Apply(it->second, out.link);
    }
    using Drop = server::Intercepted::Drop;
    Drop drop = Drop::kNone;
    if (out.link.drop) drop = sender == server::kNoLink ? Drop::kEveryLink : Drop::kSender;
    return server::Intercepted{std::move(out.reply), drop};
}

void SimHook::Apply(Faults& faults, const LinkEffect& effect) {
    if (effect.clearAll) faults = {};
    faults.wrongSeq |= effect.wrongSeq;
    faults.cut |= effect.cut;
    faults.oversize |= effect.oversize;
    if (effect.bytewise >= 0) faults.bytewise = effect.bytewise == 1;
}

void SimHook::Answered(std::string_view command, Outcome& answer) {
    dialect_.Answer(model_, command, answer, Clock::now());
    commands_.ApplyOdd(command, answer);
    dialect_.Renumber(answer);
}

void SimHook::Shape(server::LinkId link, server::Delivery& reply) {
    reply.due = std::max(reply.due + std::chrono::milliseconds(commands_.latencyMs()),
                         commands_.stallUntil());
    auto it = faults_.find(link);
    if (it == faults_.end()) return;
    Faults& faults = it->second;
    if (faults.wrongSeq) {
        const uint32_t seq = wire::GetU32(Field(reply, wire::kReplySeqOffset));
        wire::PutU32(Field(reply, wire::kReplySeqOffset), seq + kWrongSeqOffset);
    }
    if (faults.oversize) {
        wire::PutU32(Field(reply, wire::kReplyLengthOffset), kOversizeLength);
        reply.closeAfter = true;
    } else if (faults.cut) {
        reply.bytes.resize(reply.bytes.size() / 2);
        reply.closeAfter = true;
    }
    faults.wrongSeq = faults.cut = faults.oversize = false;
}

bool SimHook::Bytewise(server::LinkId link) const {
    auto it = faults_.find(link);
    return it != faults_.end() && it->second.bytewise;
}

}  // namespace kestrum::sim
