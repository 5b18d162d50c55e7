#include "scan.h"

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

constexpr int kEepromPolls = 50;
// The pages show at most 256 nodes; a segment that claims more is read that far.
constexpr uint16_t kMaxScannedNodes = 256;
constexpr int kEepromTries = 3;

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

bool SameNode(const NodeScan& a, const NodeScan& b) {
    return a.typeBlock == b.typeBlock && a.alias == b.alias;
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

bool Scanner::ReadRegisters(std::vector<NodeScan>& nodes, std::string* error) {
    std::vector<Datagram> batch;
    size_t batchBytes = FrameBytes(batch);
    size_t first = 0;  // the read index of batch's first datagram
    size_t answered = nodes.size();
    auto flush = [&]() -> bool {
        if (batch.empty()) return true;
        const auto replies = master_.Exchange(batch, error);
        if (!replies) return false;
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
        if (batchBytes + bytes > kMaxFrameBytes && !flush()) return false;
        batchBytes += bytes;
        batch.push_back(std::move(datagram));
    }
    if (!flush()) return false;
    nodes.resize(answered);
    return true;
}

bool Scanner::EepromOffered(uint16_t position) {
    const auto reply = master_.Exchange({ReadAt(position, kRegEepromConfig, 2)});
    // Owned by the node's own processor: never taken from it.
    return !reply || reply->front().wkc != 1 || (reply->front().data[0] & 0x01) != 0;
}

std::optional<std::vector<uint8_t>> Scanner::ReadEeprom(uint16_t position, uint32_t word) {
    for (int attempt = 0; attempt < kEepromTries; ++attempt) {
        Datagram command = ReadAt(position, kRegEepromControl, 6);
        command.command = Command::kApwr;
        PutLe16(command.data, 0, kEepromCommandRead);
        PutLe32(command.data, 2, word);
        const auto written = master_.Exchange({command});
        if (!written || written->front().wkc != 1) return std::nullopt;
        for (int poll = 0; poll < kEepromPolls; ++poll) {
            const auto status = master_.Exchange({ReadAt(position, kRegEepromControl, 14)});
            if (!status || status->front().wkc != 1) return std::nullopt;
            const std::vector<uint8_t>& data = status->front().data;
            const uint16_t control = Le16(data, 0);
            if ((control & (kEepromBusy | kEepromCommandMask)) != 0) continue;
            if ((control & kEepromErrorMask) != 0) break;  // try the command again
            const size_t bytes = (control & kEepromReads8Bytes) != 0 ? 8 : 4;
            return std::vector<uint8_t>(data.begin() + 6,
                                        data.begin() + 6 + static_cast<long>(bytes));
        }
    }
    return std::nullopt;
}

std::optional<SiiInfo> Scanner::ReadNodeSii(uint16_t position) {
    if (EepromOffered(position)) return std::nullopt;
    // Each EEPROM read brings two or four words; keep the last so small reads share it.
    uint32_t cachedWord = 0;
    std::vector<uint8_t> cached;
    const SiiReader reader = [&](uint32_t word, uint32_t count, std::vector<uint8_t>& out) {
        out.clear();
        while (out.size() < count * 2u) {
            const uint32_t at = word + static_cast<uint32_t>(out.size() / 2);
            if (cached.empty() || at < cachedWord || at >= cachedWord + cached.size() / 2) {
                auto chunk = ReadEeprom(position, at);
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
    return ReadSii(reader, &ignored);
}

bool Scanner::IdentityChanged(uint16_t position, const NodeScan& node) {
    if (EepromOffered(position)) return false;
    std::vector<uint8_t> words;
    while (words.size() < 8) {
        const auto chunk =
            ReadEeprom(position, kSiiVendorWord + static_cast<uint32_t>(words.size() / 2));
        if (!chunk) return false;
        words.insert(words.end(), chunk->begin(), chunk->end());
    }
    return Le32(words, 0) != node.sii.vendorId || Le32(words, 4) != node.sii.productCode;
}

void Scanner::ReadSiis(std::vector<NodeScan>& nodes) {
    for (size_t i = 0; i < nodes.size(); ++i) {
        NodeScan& node = nodes[i];
        if (i < last_.size() && last_[i].siiRead && SameNode(last_[i], node)) {
            node.siiRead = true;
            node.sii = last_[i].sii;
            node.io = last_[i].io;
        }
    }
    // A node swapped for one of the same kind keeps its registers; its identity tells.
    if (!nodes.empty()) {
        const size_t i = recheck_++ % nodes.size();
        if (nodes[i].siiRead && IdentityChanged(static_cast<uint16_t>(i), nodes[i]))
            nodes[i].siiRead = false;
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].siiRead) continue;
        if (auto sii = ReadNodeSii(static_cast<uint16_t>(i))) {
            nodes[i].siiRead = true;
            nodes[i].io = CountIo(*sii);
            nodes[i].sii = std::move(*sii);
        } else {
            nodes[i].sii = {};
            nodes[i].io = {};
        }
    }
}

std::optional<BusScan> Scanner::Scan(std::string* error) {
    const auto count = CountNodes(error);
    if (!count) return std::nullopt;
    BusScan scan;
    scan.nodes.resize(std::min(*count, kMaxScannedNodes));
    if (!ReadRegisters(scan.nodes, error)) return std::nullopt;
    ReadSiis(scan.nodes);
    last_ = scan.nodes;
    scan.framesSent = master_.framesSent();
    scan.framesLost = master_.framesLost();
    return scan;
}

}  // namespace pelvane::ecat
