#include "ecat/scan.h"

#include <algorithm>

namespace kestrum::ecat {

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

size_t NodeReadBytes() {
    size_t bytes = 0;
    for (const RegisterRead& r : kNodeReads) bytes += kDatagramOverhead + r.length;
    return bytes;
}

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

std::vector<Datagram> NodeReads(size_t first, size_t end) {
    std::vector<Datagram> batch;
    for (size_t node = first; node < end; ++node)
        for (const RegisterRead& r : kNodeReads)
            batch.push_back(ReadAt(static_cast<uint16_t>(node), r.ado, r.length));
    return batch;
}

// Fills nodes first..end from their replies; the position where the line ends, if it
// ends among them: a node that stopped answering since the count.
std::optional<size_t> TakeReplies(std::vector<NodeScan>& nodes, size_t first, size_t end,
                                  const std::vector<Datagram>& replies) {
    const auto now = NodeScan::Clock::now();
    for (size_t node = first; node < end; ++node) {
        const auto reads = replies.begin() + static_cast<long>((node - first) * kReadsPerNode);
        if (!std::all_of(reads, reads + kReadsPerNode,
                         [](const Datagram& d) { return d.wkc == 1; }))
            return node;
        for (size_t read = 0; read < kReadsPerNode; ++read)
            Fill(nodes[node], read, reads[static_cast<long>(read)].data);
        nodes[node].registersRead = true;
        nodes[node].readAt = now;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<Datagram>> Scanner::ExchangeRetried(
    const std::vector<Datagram>& datagrams, size_t* frames, std::string* error) {
    // Each frame has its own time, so that losses early in a scan cost no later node its
    // retries.
    const auto giveUp = Clock::now() + retryFor_;
    for (;;) {
        ++*frames;
        auto replies = master_.Exchange(datagrams, error, Clock::now() + kResendAfter);
        if (replies || master_.lastFailure() != ExchangeFailure::kNoReply || Clock::now() >= giveUp)
            return replies;
    }
}

std::optional<uint16_t> Scanner::CountNodes(size_t* frames, std::string* error) {
    Datagram count;
    count.command = Command::kBrd;
    count.ado = kRegType;
    count.data.assign(1, 0);
    const auto reply = ExchangeRetried({count}, frames, error);
    if (!reply) return std::nullopt;
    return reply->front().wkc;
}

std::vector<NodeScan> Scanner::Carried(size_t count, Clock::time_point now) const {
    // Another count is another line: nothing of the last one stands for it. The same
    // count keeps even a line that ended early, at a node that stopped answering.
    std::vector<NodeScan> nodes = count == lastCount_ ? last_ : std::vector<NodeScan>{};
    const size_t carried = std::min(nodes.size(), count);
    nodes.resize(count);
    for (size_t i = carried; i < count; ++i) nodes[i].readAt = now;
    return nodes;
}

bool Scanner::ReadRegisters(std::vector<NodeScan>& nodes, size_t* frames, std::string* error) {
    // The port's MTU, not Ethernet's, says how many nodes one frame may carry; a node's
    // reads share a frame, so that it is answered whole or not at all.
    const size_t limit = master_.maxFrameBytes();
    const size_t perFrame =
        std::max<size_t>(1, (limit - std::min(limit, FrameBytes({}))) / NodeReadBytes());
    std::vector<size_t> pending;  // the first node of each frame not answered yet
    for (size_t first = 0; first < nodes.size(); first += perFrame) pending.push_back(first);
    size_t answered = nodes.size();
    const auto giveUp = Clock::now() + retryFor_;
    // Lost frames are sent again together, with new indices, while the time allows.
    for (bool once = true; !pending.empty() && (once || Clock::now() < giveUp); once = false) {
        std::vector<std::vector<Datagram>> batches;
        for (size_t first : pending)
            batches.push_back(NodeReads(first, std::min(nodes.size(), first + perFrame)));
        *frames += batches.size();
        const auto replies =
            master_.ExchangeAll(std::move(batches), error, Clock::now() + kResendAfter);
        const auto failure = master_.lastFailure();
        if (failure != ExchangeFailure::kNone && failure != ExchangeFailure::kNoReply) return false;
        std::vector<size_t> lost;
        for (size_t i = 0; i < pending.size(); ++i) {
            const size_t end = std::min(nodes.size(), pending[i] + perFrame);
            if (!replies[i])
                lost.push_back(pending[i]);
            else if (const auto ends = TakeReplies(nodes, pending[i], end, *replies[i]))
                answered = std::min(answered, *ends);
        }
        pending = std::move(lost);
    }
    // Nodes still lost keep their last values and their age.
    nodes.resize(answered);
    return true;
}

void Scanner::Remember(std::vector<NodeScan>& nodes) {
    // Another count is another line: every identity is read again.
    if (known_.size() != nodes.size()) {
        known_.assign(nodes.size(), Known{});
        walk_.reset();
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        Known& known = known_[i];
        NodeScan& node = nodes[i];
        // A node never answered yet shows nothing to compare.
        const bool moved = known.typeBlock != node.typeBlock || known.alias != node.alias;
        if (node.registersRead && (!known.placed || moved)) {
            known = Known::Placed(node.typeBlock, node.alias);
            // A walk under way there is of the node that was.
            if (walk_ && walk_->position() == i) walk_.reset();
        }
        node.siiRead = known.read && !known.verify;
        node.siiFault = known.fault;
        node.eepromChecksumError = known.checksumError;
        node.eepromNotLoaded = known.notLoaded;
        node.sii = known.sii;
        node.io = known.io;
    }
}

std::optional<BusScan> Scanner::Scan(std::string* error) {
    const auto began = Clock::now();
    BusScan scan;
    const auto count = CountNodes(&scan.frames, error);
    if (!count) return std::nullopt;
    scan.counted = *count;
    const size_t placed = std::min(*count, kMaxScannedNodes);
    scan.nodes = Carried(placed, began);
    if (!ReadRegisters(scan.nodes, &scan.frames, error)) return std::nullopt;
    last_ = scan.nodes;
    lastCount_ = placed;
    Remember(scan.nodes);
    scan.framesSent = master_.framesSent();
    scan.framesLost = master_.framesLost();
    return scan;
}

}  // namespace kestrum::ecat
