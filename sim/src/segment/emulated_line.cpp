#include "sim/src/segment/emulated_line.h"

#include <algorithm>

namespace kestrum::sim {
namespace {

constexpr std::size_t kMemoryBytes = 0x10000;
// Bounds a hold whatever the state says; the simulator allows less.
constexpr int32_t kMaxDelayMs = 60000;

enum class Access { kNone, kRead, kWrite, kReadWrite, kOrRead, kOrReadWrite };

Access AccessOf(const ecat::Datagram& datagram, uint16_t station) {
    const bool first = datagram.adp == 0;
    const bool mine = datagram.adp == station;
    switch (datagram.command) {
        case ecat::Command::kAprd:
            return first ? Access::kRead : Access::kNone;
        case ecat::Command::kApwr:
            return first ? Access::kWrite : Access::kNone;
        case ecat::Command::kAprw:
            return first ? Access::kReadWrite : Access::kNone;
        case ecat::Command::kFprd:
            return mine ? Access::kRead : Access::kNone;
        case ecat::Command::kFpwr:
            return mine ? Access::kWrite : Access::kNone;
        case ecat::Command::kFprw:
            return mine ? Access::kReadWrite : Access::kNone;
        case ecat::Command::kBrd:
            return Access::kOrRead;
        case ecat::Command::kBwr:
            return Access::kWrite;
        case ecat::Command::kBrw:
            return Access::kOrReadWrite;
        case ecat::Command::kArmw:
            return first ? Access::kRead : Access::kWrite;
        case ecat::Command::kFrmw:
            return mine ? Access::kRead : Access::kWrite;
        default:
            return Access::kNone;  // NOP, logical (no FMMU here) and unknown codes
    }
}

bool Increments(ecat::Command command) {
    switch (command) {
        case ecat::Command::kAprd:
        case ecat::Command::kApwr:
        case ecat::Command::kAprw:
        case ecat::Command::kBrd:
        case ecat::Command::kBwr:
        case ecat::Command::kBrw:
        case ecat::Command::kArmw:
            return true;
        default:
            return false;
    }
}

void AddWkc(ecat::Datagram& datagram, int count) {
    datagram.wkc = static_cast<uint16_t>(datagram.wkc + count);
}

}  // namespace

EmulatedLine::EmulatedLine(uint32_t seed) : random_(seed) {}

std::optional<std::vector<uint8_t>> EmulatedLine::Answer(std::span<const uint8_t> request,
                                                         const LineState& state) {
    if (request.size() > ecat::kMaxFrameBytes) return std::nullopt;
    auto frame = ecat::DecodeFrame(request, nullptr);
    if (!frame || state.nodes.empty()) return std::nullopt;
    const auto lost = LostWay(state);
    if (lost) ++framesLost_;
    if (lost == LossWay::kOut) return std::nullopt;
    Refresh(state.nodes);
    // Each node handles the whole frame before the next one sees it.
    for (EmulatedEsc& esc : escs_) {
        for (ecat::Datagram& datagram : frame->datagrams) Pass(esc, datagram);
    }
    if (lost) return std::nullopt;  // on its way back, every node has acted on it

    // Patched in place, so that the reply keeps the request's length and padding.
    std::vector<uint8_t> reply(request.begin(), request.end());
    ecat::MarkProcessed(reply);
    std::size_t at = ecat::kEthernetHeaderBytes + ecat::kEcatHeaderBytes;
    for (const ecat::Datagram& datagram : frame->datagrams) {
        ecat::PutLe16(reply, at + ecat::kDatagramAdpOffset, datagram.adp);
        // The node whose port 0 is closed marks every datagram passing it.
        const std::size_t flags = at + ecat::kDatagramFlagsOffset;
        if (state.circulating)
            ecat::PutLe16(reply, flags,
                          static_cast<uint16_t>(ecat::Le16(reply, flags) | ecat::kCirculatingBit));
        std::copy(datagram.data.begin(), datagram.data.end(),
                  reply.begin() + static_cast<std::ptrdiff_t>(at + ecat::kDatagramHeaderBytes));
        ecat::PutLe16(reply, at + ecat::kDatagramHeaderBytes + datagram.data.size(), datagram.wkc);
        at += ecat::kDatagramOverhead + datagram.data.size();
    }
    return reply;
}

std::chrono::milliseconds EmulatedLine::HeldFor(const LineState& state) {
    if (state.delayMs <= 0 || !Chance(state.delayPercent)) return {};
    ++repliesHeld_;
    return std::chrono::milliseconds(std::min(state.delayMs, kMaxDelayMs));
}

bool EmulatedLine::Chance(double percent) {
    if (!(percent > 0.0)) return false;
    if (percent >= 100.0) return true;
    return std::uniform_real_distribution<double>(0.0, 100.0)(random_) < percent;
}

std::optional<LossWay> EmulatedLine::LostWay(const LineState& state) {
    if (!Chance(state.lossPercent)) return std::nullopt;
    if (state.lossWay != LossWay::kBoth) return state.lossWay;
    return std::bernoulli_distribution(0.5)(random_) ? LossWay::kOut : LossWay::kBack;
}

void EmulatedLine::Refresh(const std::vector<SegmentNode>& nodes) {
    // Real time, since a master waits for the EEPROM by time.
    const auto now = std::chrono::steady_clock::now();
    if (escs_.size() > nodes.size()) {
        escs_.erase(escs_.begin() + static_cast<std::ptrdiff_t>(nodes.size()), escs_.end());
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (i == escs_.size()) {
            escs_.emplace_back(nodes[i], now);
        } else if (!escs_[i].SameDevice(nodes[i])) {
            escs_[i] = EmulatedEsc(nodes[i], now);
        }
        escs_[i].Update(nodes[i], i + 1 == nodes.size(), now);
    }
}

void EmulatedLine::Pass(EmulatedEsc& esc, ecat::Datagram& datagram) {
    // An ESC has 64 KiB of address space; a range past it is left alone.
    if (std::size_t{datagram.ado} + datagram.data.size() > kMemoryBytes) return;
    std::vector<uint8_t>& data = datagram.data;
    const Access access = AccessOf(datagram, esc.stationAddress());
    switch (access) {
        case Access::kNone:
            break;
        case Access::kRead:
            if (esc.Read(datagram.ado, data)) AddWkc(datagram, 1);
            break;
        case Access::kWrite:
            if (esc.Write(datagram.ado, data)) AddWkc(datagram, 1);
            break;
        case Access::kReadWrite:
        case Access::kOrReadWrite: {
            // Read before the write: what comes back is the memory as it was.
            scratch_.resize(data.size());
            const bool read = esc.Read(datagram.ado, scratch_);
            const bool written = esc.Write(datagram.ado, data);
            if (read) {
                for (std::size_t i = 0; i < data.size(); ++i) {
                    data[i] = access == Access::kOrReadWrite
                                  ? static_cast<uint8_t>(data[i] | scratch_[i])
                                  : scratch_[i];
                }
            }
            AddWkc(datagram, (read ? 1 : 0) + (written ? 2 : 0));
            break;
        }
        case Access::kOrRead:
            scratch_.resize(data.size());
            if (!esc.Read(datagram.ado, scratch_)) break;
            for (std::size_t i = 0; i < data.size(); ++i) data[i] |= scratch_[i];
            AddWkc(datagram, 1);
            break;
    }
    if (Increments(datagram.command)) datagram.adp = static_cast<uint16_t>(datagram.adp + 1);
}

}  // namespace kestrum::sim
