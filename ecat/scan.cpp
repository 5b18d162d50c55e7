#include "ecat/scan.h"

#include <algorithm>

namespace pelvane::ecat {

namespace {

// Register reads of one node, in the order they fill a NodeScan.
struct RegisterRead {
    uint16_t ado, length;
};
constexpr RegisterRead kNodeReads[] = {
    {kRegType, 20},  // the type block through the alias at 0012H
    {kRegDlStatus, 2},
    {kRegAlStatus, 6},  // AL status, then the status code at 0134H
    {kRegErrorCounters, kErrorCounterBytes},
};
constexpr size_t kReadsPerNode = std::size(kNodeReads);

// The pages show at most 256 nodes; a segment that claims more is read that far.
constexpr uint16_t kMaxScannedNodes = 256;
constexpr uint16_t kChecksumErrorBit = 0x0800;

void Fill(NodeScan& node, size_t read, const std::vector<uint8_t>& data) {
    switch (read) {
        case 0:
            std::copy_n(data.begin(), node.typeBlock.size(), node.typeBlock.begin());
            node.alias = Le16(data, kRegAlias);
            break;
        case 1:
            node.dlStatus = Le16(data, 0);
            break;
        case 2:
            node.alStatus = Le16(data, 0);
            node.alStatusCode = Le16(data, kRegAlStatusCode - kRegAlStatus);
            break;
        default:
            std::copy_n(data.begin(), node.counters.size(), node.counters.begin());
            break;
    }
}

}  // namespace

std::optional<uint16_t> Scanner::CountNodes(std::string* error) {
    Datagram count;
    count.command = Command::kBrd;
    count.ado = kRegType;
    count.data.assign(1, 0);
    const auto reply = master_.Exchange({count}, error);
    if (!reply) return std::nullopt;
    return reply->front().wkc;
}

bool Scanner::ReadRegisters(std::vector<NodeScan>& nodes, size_t* frames, std::string* error) {
    // The port's MTU, not Ethernet's, says how much one frame may carry.
    const size_t frameLimit = master_.maxFrameBytes();
    std::vector<Datagram> batch;
    size_t batchBytes = FrameBytes(batch);
    size_t first = 0;  // the read index of batch's first datagram
    size_t answered = nodes.size();
    auto flush = [&]() -> bool {
        if (batch.empty()) return true;
        const auto replies = master_.Exchange(batch, error);
        if (!replies) return false;
        ++*frames;
        for (size_t i = 0; i < replies->size(); ++i) {
            const size_t read = first + i;
            const size_t node = read / kReadsPerNode;
            // A node that stopped answering since the count ends the line there.
            if ((*replies)[i].wkc != 1)
                answered = std::min(answered, node);
            else if (node < answered)
                Fill(nodes[node], read % kReadsPerNode, (*replies)[i].data);
        }
        first += batch.size();
        batch.clear();
        batchBytes = FrameBytes(batch);
        return true;
    };
    for (size_t read = 0; read < nodes.size() * kReadsPerNode; ++read) {
        const RegisterRead& r = kNodeReads[read % kReadsPerNode];
        Datagram datagram = ReadAt(static_cast<uint16_t>(read / kReadsPerNode), r.ado, r.length);
        const size_t bytes = kDatagramOverhead + datagram.data.size();
        if (batchBytes + bytes > frameLimit && !flush()) return false;
        batchBytes += bytes;
        batch.push_back(std::move(datagram));
    }
    if (!flush()) return false;
    nodes.resize(answered);
    return true;
}

void Scanner::Remember(std::vector<NodeScan>& nodes) {
    // Another count is another line: every identity is read again.
    if (known_.size() != nodes.size()) known_.assign(nodes.size(), Known{});
    for (size_t i = 0; i < nodes.size(); ++i) {
        Known& known = known_[i];
        NodeScan& node = nodes[i];
        if (!known.placed || known.typeBlock != node.typeBlock || known.alias != node.alias)
            known = Known::Placed(node.typeBlock, node.alias);
        node.siiRead = known.read && !known.verify;
        node.siiFault = known.fault;
        node.eepromChecksumError = known.checksumError;
        node.sii = known.sii;
        node.io = known.io;
    }
}

void Scanner::ReadNodeSii(uint16_t position) {
    Known& known = known_[position];
    known.nextTry = Clock::now() + kRetryAfter;  // unless it succeeds
    EepromPort port(master_, position);
    const auto offered = port.Offered();
    if (!offered || !*offered) {
        // Never taken from the node's processor: asking again later is all we do.
        known.fault = offered ? SiiFault::kHeldByProcessor : SiiFault::kTimeout;
        return;
    }
    // Each EEPROM read brings two or four words; keep the last so small reads share it.
    uint32_t cachedWord = 0;
    std::vector<uint8_t> cached;
    SiiFault fault = SiiFault::kNone;
    const SiiReader reader = [&](uint32_t word, uint32_t count, std::vector<uint8_t>& out) {
        out.clear();
        while (out.size() < count * 2u) {
            const uint32_t at = word + static_cast<uint32_t>(out.size() / 2);
            if (cached.empty() || at < cachedWord || at >= cachedWord + cached.size() / 2) {
                auto chunk = port.Read(at, &fault);
                if (!chunk) return false;
                cachedWord = at;
                cached = std::move(*chunk);
            }
            const auto from = cached.begin() + static_cast<long>((at - cachedWord) * 2);
            const size_t take =
                std::min<size_t>(static_cast<size_t>(cached.end() - from), count * 2u - out.size());
            out.insert(out.end(), from, from + static_cast<long>(take));
        }
        return true;
    };
    std::string ignored;
    auto sii = ReadSii(reader, &ignored);
    eepromCommands_ += static_cast<uint64_t>(port.commands());
    known.checksumError = (port.lastStatus() & kChecksumErrorBit) != 0;
    if (!sii) {
        known.fault = fault != SiiFault::kNone ? fault : SiiFault::kMalformed;
        return;
    }
    known.read = true;
    known.fault = SiiFault::kNone;
    known.io = CountIo(*sii);
    known.sii = std::move(*sii);
}

std::optional<bool> Scanner::IdentityChanged(uint16_t position) {
    EepromPort port(master_, position);
    const auto offered = port.Offered();
    if (!offered || !*offered) return std::nullopt;
    std::vector<uint8_t> words;
    SiiFault fault = SiiFault::kNone;
    while (words.size() < 8) {
        const auto chunk =
            port.Read(kSiiVendorWord + static_cast<uint32_t>(words.size() / 2), &fault);
        if (!chunk) break;
        words.insert(words.end(), chunk->begin(), chunk->end());
    }
    eepromCommands_ += static_cast<uint64_t>(port.commands());
    if (words.size() < 8) return std::nullopt;
    const Known& known = known_[position];
    return Le32(words, 0) != known.sii.vendorId || Le32(words, 4) != known.sii.productCode;
}

void Scanner::Verify(uint16_t position) {
    const auto changed = IdentityChanged(position);
    Known& known = known_[position];
    known.verify = false;
    // Another node, or one that no longer answers: its whole SII is read again.
    if (!changed || *changed) known = Known::Placed(known.typeBlock, known.alias);
}

void Scanner::Forget() {
    for (Known& known : known_) {
        if (known.read) known.verify = true;
        // A node that failed is asked again at once: it may be another one now.
        known.nextTry = {};
    }
}

void Scanner::ReadIdentities(Clock::time_point deadline) {
    bool readAny = false;
    for (size_t i = 0; i < known_.size(); ++i) {
        const Known& known = known_[i];
        if (known.read && !known.verify) continue;
        if (!known.read && Clock::now() < known.nextTry) continue;
        if (Clock::now() >= deadline) return;
        if (known.verify) Verify(static_cast<uint16_t>(i));
        if (!known_[i].read) ReadNodeSii(static_cast<uint16_t>(i));
        readAny = true;
    }
    if (readAny || known_.empty() || Clock::now() - lastRecheck_ < recheckEvery_) return;
    lastRecheck_ = Clock::now();
    const size_t i = recheck_++ % known_.size();
    // A node whose words cannot be read now keeps what was read: it is asked in turn again.
    if (known_[i].read && IdentityChanged(static_cast<uint16_t>(i)).value_or(false))
        known_[i] = Known::Placed(known_[i].typeBlock, known_[i].alias);
}

std::optional<BusScan> Scanner::Scan(std::string* error) {
    const auto count = CountNodes(error);
    if (!count) return std::nullopt;
    BusScan scan;
    scan.frames = 1;
    scan.nodes.resize(std::min(*count, kMaxScannedNodes));
    if (!ReadRegisters(scan.nodes, &scan.frames, error)) return std::nullopt;
    Remember(scan.nodes);
    scan.framesSent = master_.framesSent();
    scan.framesLost = master_.framesLost();
    return scan;
}

}  // namespace pelvane::ecat
