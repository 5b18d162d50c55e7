#include "ecat/mailbox.h"

#include <cstdio>

#include "ecat/registers.h"

namespace kestrum::ecat {
namespace {

using Kind = SdoOutcome::Kind;

constexpr std::size_t kSmBlockBytes = 2 * kSyncManagerBytes;
constexpr std::size_t kShortestMailbox = kMailboxHeaderBytes + kSdoBytes;

std::string Name(uint16_t position) {
    return "Node" + std::to_string(position);
}

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*XH", digits, static_cast<unsigned>(value));
    return text;
}

std::string Millis(std::chrono::milliseconds wait) {
    return std::to_string(wait.count()) + " ms";
}

// Why nothing may be asked of a node in this AL state; none in PREOP, SAFEOP and OP.
std::optional<std::string> ShutByState(uint16_t position, uint16_t alStatus) {
    switch (alStatus & 0x0F) {
        case kAlStatePreop:
        case kAlStateSafeop:
        case kAlStateOp:
            return std::nullopt;
        case kAlStateInit:
            return Name(position) +
                   " is in INIT: its mailbox is off (the node was restarted; only a master "
                   "taking it to PREOP opens it)";
        case kAlStateBoot:
            return Name(position) + " is in BOOT: its mailbox serves firmware updates only";
        default:
            return Name(position) + " reports AL state " + Hex(alStatus & 0x0F, 2) +
                   ": its mailbox is not known to work";
    }
}

struct SyncManager {
    uint16_t start = 0, length = 0;
    uint8_t control = 0, status = 0, activate = 0, pdi = 0;
};

SyncManager SyncManagerAt(std::span<const uint8_t> block, std::size_t n) {
    const std::size_t at = n * kSyncManagerBytes;
    return {Le16(block, at + kSmStart), Le16(block, at + kSmLength), block[at + kSmControl],
            block[at + kSmStatus],      block[at + kSmActivate],     block[at + kSmPdiControl]};
}

bool MailboxOn(const SyncManager& sm, uint8_t modeAndDirection) {
    return (sm.control & kSmModeAndDirection) == modeAndDirection &&
           (sm.activate & kSmEnable) != 0 && (sm.pdi & kSmDeactivated) == 0 &&
           sm.length >= kShortestMailbox && sm.length <= kMaxDatagramData &&
           sm.start >= kFirstMemoryAddress && uint32_t{sm.start} + sm.length <= 0x10000u;
}

std::string SyncManagerText(const char* name, const SyncManager& sm) {
    return std::string(name) + " " + Hex(sm.start, 4) + "+" + std::to_string(sm.length) +
           " control " + Hex(sm.control, 2) + " activate " + Hex(sm.activate, 2) + " PDI " +
           Hex(sm.pdi, 2);
}

std::string SetAsideText(const MailboxReply& reply) {
    if (const auto object = AnsweredObject(reply))
        return "an SDO reply about " + SdoObjectText(*object);
    if (const auto* other = std::get_if<OtherMessage>(&reply)) return other->what;
    return "a message";
}

}  // namespace

bool Mailboxes::Follow(const BusScan& scan) {
    bool changed = nodes_.size() > scan.nodes.size();
    for (std::size_t i = scan.nodes.size(); i < nodes_.size(); ++i)
        master_.CloseMailbox(static_cast<uint16_t>(i));
    nodes_.resize(scan.nodes.size());
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
        const NodeScan& seen = scan.nodes[i];
        Node& node = nodes_[i];
        const bool replaced =
            node.typeBlock != seen.typeBlock ||
            (node.siiRead && seen.siiRead &&
             (node.vendorId != seen.sii.vendorId || node.productCode != seen.sii.productCode ||
              node.serial != seen.sii.serial));
        if (replaced) {
            changed = changed || node.typeBlock != std::array<uint8_t, kTypeBlockBytes>{};
            master_.CloseMailbox(static_cast<uint16_t>(i));
            node = Node{};
            node.typeBlock = seen.typeBlock;
        }
        node.siiRead = seen.siiRead;
        node.siiFault = seen.siiFault;
        node.vendorId = seen.sii.vendorId;
        node.productCode = seen.sii.productCode;
        node.serial = seen.sii.serial;
        node.protocols = seen.sii.mailbox.protocols;
    }
    return changed;
}

bool Mailboxes::Start(uint16_t position, SdoAddress object, Clock::time_point now) {
    if (position >= nodes_.size() || nodes_[position].transfer) return false;
    Transfer transfer;
    transfer.object = object;
    transfer.began = now;
    nodes_[position].transfer = transfer;
    return true;
}

bool Mailboxes::Busy(uint16_t position) const {
    return position < nodes_.size() && nodes_[position].transfer.has_value();
}

bool Mailboxes::Active() const {
    for (const Node& node : nodes_)
        if (node.transfer) return true;
    return false;
}

bool Mailboxes::Waiting() const {
    for (const Node& node : nodes_) {
        if (!node.transfer) continue;
        const Phase phase = node.transfer->phase;
        const bool waits = phase == Phase::kAwait || phase == Phase::kRepeatAck ||
                           (phase == Phase::kWrite && node.transfer->nodeFull);
        if (!waits) return false;
    }
    return true;
}

std::vector<Datagram> Mailboxes::Datagrams(uint16_t position, const Node& node) const {
    const Transfer& transfer = *node.transfer;
    const MailboxArea& area = node.area;
    switch (transfer.phase) {
        case Phase::kCheck:
            return {ReadAt(position, kRegAlStatus, 2),
                    ReadAt(position, kRegSyncManager0, kSmBlockBytes)};
        case Phase::kDrain:
        case Phase::kRead:
            return {ReadAt(position, area.sendStart, area.sendLength)};
        case Phase::kWrite: {
            std::vector<uint8_t> request = SdoUploadRequest(transfer.object, transfer.counter);
            request.resize(area.receiveLength, 0);
            return {WriteAt(position, area.receiveStart, std::move(request))};
        }
        case Phase::kAwait:
            return {ReadAt(position, kRegSm1Status, 1)};
        case Phase::kRepeat:
            return {WriteAt(position, kRegSm1Activate,
                            {static_cast<uint8_t>(area.sendActivate ^ kSmRepeat)})};
        case Phase::kRepeatAck:
            return {ReadAt(position, kRegSm1PdiControl, 1)};
    }
    return {};
}

std::vector<SdoOutcome> Mailboxes::Step(Clock::time_point waitUntil) {
    struct Place {
        uint16_t position;
        std::size_t frame, first, count;
    };
    std::vector<std::vector<Datagram>> frames;
    std::vector<Place> places;
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
        if (!nodes_[i].transfer) continue;
        auto datagrams = Datagrams(static_cast<uint16_t>(i), nodes_[i]);
        std::vector<Datagram> together = frames.empty() ? std::vector<Datagram>{} : frames.back();
        together.insert(together.end(), datagrams.begin(), datagrams.end());
        if (frames.empty() || FrameBytes(together) > master_.maxFrameBytes()) frames.emplace_back();
        places.push_back(
            {static_cast<uint16_t>(i), frames.size() - 1, frames.back().size(), datagrams.size()});
        for (Datagram& datagram : datagrams) frames.back().push_back(std::move(datagram));
    }
    if (frames.empty()) return {};
    framesSent_ += frames.size();
    const auto replies = master_.ExchangeAll(std::move(frames), nullptr, waitUntil);
    const auto now = Clock::now();
    std::vector<SdoOutcome> outcomes;
    for (const Place& place : places) {
        std::optional<std::vector<Datagram>> own;
        if (const auto& frame = replies[place.frame])
            own.emplace(frame->begin() + static_cast<std::ptrdiff_t>(place.first),
                        frame->begin() + static_cast<std::ptrdiff_t>(place.first + place.count));
        if (auto outcome = Advance(place.position, nodes_[place.position], own, now))
            outcomes.push_back(std::move(*outcome));
    }
    return outcomes;
}

std::optional<SdoOutcome> Mailboxes::Advance(uint16_t position, Node& node,
                                             const std::optional<std::vector<Datagram>>& replies,
                                             Clock::time_point now) {
    Transfer& transfer = *node.transfer;
    if (!replies) {
        // A lost read of SM1 may have freed the reply; a lost drain leaves nothing to ask.
        if (transfer.phase == Phase::kRead) transfer.phase = Phase::kRepeat;
        if (transfer.phase == Phase::kDrain) transfer.phase = Phase::kCheck;
        return Waited(position, node, now);
    }
    const Datagram& reply = replies->front();
    const bool worked = reply.wkc != 0;
    const Phase before = transfer.phase;
    switch (transfer.phase) {
        case Phase::kCheck:
            if (auto outcome = Checked(position, node, *replies)) return outcome;
            break;
        case Phase::kDrain:
            if (worked) SetAside(position, node, ReadMailboxReply(reply.data), now);
            transfer.phase = Phase::kCheck;
            break;
        case Phase::kWrite:
            transfer.nodeFull = !worked;
            if (!worked) break;  // the node has not taken the last request yet
            if (transfer.takenAt == Clock::time_point{}) transfer.takenAt = now;
            transfer.phase = Phase::kAwait;
            break;
        case Phase::kAwait:
            if (worked && (reply.data[0] & kSmMailboxFull) != 0) transfer.phase = Phase::kRead;
            break;
        case Phase::kRead:
            if (!worked) {
                transfer.phase = Phase::kAwait;
                break;
            }
            if (auto outcome = Read(position, node, reply, now)) return outcome;
            break;
        case Phase::kRepeat:
            if (!worked) break;
            node.area.sendActivate ^= kSmRepeat;
            master_.OpenMailbox(position, node.area);
            transfer.phase = Phase::kRepeatAck;
            break;
        case Phase::kRepeatAck:
            if (worked && ((reply.data[0] ^ node.area.sendActivate) & kSmRepeat) == 0)
                transfer.phase = Phase::kAwait;
            break;
    }
    // A step that moved on is never the last: what the node has ready is taken however
    // late this thread came to look.
    if (transfer.phase != before) return std::nullopt;
    return Waited(position, node, now);
}

std::optional<SdoOutcome> Mailboxes::Checked(uint16_t position, Node& node,
                                             const std::vector<Datagram>& replies) {
    const auto now = Clock::now();
    if (replies.size() != 2 || replies[0].wkc == 0 || replies[1].wkc == 0) return std::nullopt;
    if (auto shut = ShutByState(position, Le16(replies[0].data, 0)))
        return End(position, node, Kind::kNotAsked, std::move(*shut), now);
    if (!node.siiRead)
        return End(position, node, Kind::kNotAsked,
                   Name(position) + "'s SII " +
                       (node.siiFault == SiiFault::kNone
                            ? std::string("is not read yet")
                            : "cannot be read (" + std::string(SiiFaultText(node.siiFault)) + ")") +
                       ": whether it speaks CoE is unknown",
                   now);
    if ((node.protocols & kMailboxCoe) == 0)
        return End(position, node, Kind::kNotAsked,
                   Name(position) + " announces no CoE in its SII (mailbox protocols " +
                       Hex(node.protocols, 4) + ")",
                   now);
    const SyncManager sm0 = SyncManagerAt(replies[1].data, 0);
    const SyncManager sm1 = SyncManagerAt(replies[1].data, 1);
    if (!MailboxOn(sm0, kSmMailboxMasterWrites) || !MailboxOn(sm1, kSmMailboxMasterReads))
        return End(position, node, Kind::kNotAsked,
                   Name(position) + " has no mailbox enabled in SyncManagers 0 and 1 (" +
                       SyncManagerText("SM0", sm0) + "; " + SyncManagerText("SM1", sm1) + ")",
                   now);
    node.area = {sm0.start, sm0.length, sm1.start, sm1.length, sm1.activate};
    master_.OpenMailbox(position, node.area);
    Transfer& transfer = *node.transfer;
    // Whatever waits in SM1 now was not asked by this request.
    if ((sm1.status & kSmMailboxFull) != 0) {
        transfer.phase = Phase::kDrain;
    } else {
        NextRequest(node);
        transfer.phase = Phase::kWrite;
    }
    return std::nullopt;
}

std::optional<SdoOutcome> Mailboxes::Read(uint16_t position, Node& node, const Datagram& reply,
                                          Clock::time_point now) {
    const MailboxReply answer = ReadMailboxReply(reply.data);
    const SdoAddress asked = node.transfer->object;
    if (const auto* error = std::get_if<MailboxError>(&answer)) {
        node.counterKnown = true;
        return End(position, node, Kind::kAnswered, MailboxErrorText(error->detail), now);
    }
    if (AnsweredObject(answer) != asked) {
        SetAside(position, node, answer, now);
        node.transfer->phase = Phase::kAwait;
        return std::nullopt;
    }
    node.counterKnown = true;
    if (const auto* abort = std::get_if<SdoAbort>(&answer))
        return End(position, node, Kind::kAnswered, SdoAbortText(abort->code), now);
    if (const auto* segmented = std::get_if<SdoSegmented>(&answer))
        return End(position, node, Kind::kAnswered,
                   SdoObjectText(asked) + " holds " + std::to_string(segmented->size) +
                       " bytes: a segmented transfer, which the gateway does not make",
                   now);
    const auto& data = std::get<SdoValue>(answer).data;
    if (data.empty() || data.size() > 4)
        return End(position, node, Kind::kAnswered,
                   SdoObjectText(asked) + " holds " + std::to_string(data.size()) +
                       " bytes, not a number of 1 to 4",
                   now);
    SdoOutcome outcome = End(position, node, Kind::kValue, {}, now);
    for (std::size_t i = 0; i < data.size(); ++i) outcome.value |= uint32_t{data[i]} << (8 * i);
    return outcome;
}

std::optional<SdoOutcome> Mailboxes::Waited(uint16_t position, Node& node, Clock::time_point now) {
    Transfer& transfer = *node.transfer;
    const bool taken = transfer.takenAt != Clock::time_point{};
    if (!taken) {
        if (now - transfer.began <= kTakeWait) return std::nullopt;
        return End(
            position, node, Kind::kNoAnswer,
            transfer.phase == Phase::kWrite
                ? Name(position) + " took no request within " + Millis(kTakeWait) +
                      ": its mailbox stayed full"
                : "no reply from " + Name(position) + "'s SyncManagers within " + Millis(kTakeWait),
            now);
    }
    if (transfer.phase == Phase::kAwait && !node.counterKnown && !transfer.counterResent &&
        now - transfer.takenAt > kFirstAnswerWait) {
        // Dropped, most likely, as a repeat of the previous master's last counter.
        notes_.push_back(Name(position) + ": no answer to counter " +
                         std::to_string(transfer.counter) + ", asked again with the next");
        transfer.counterResent = true;
        NextRequest(node);
        transfer.phase = Phase::kWrite;
        return std::nullopt;
    }
    if (now - transfer.takenAt <= kAnswerWait) return std::nullopt;
    const bool repeating = transfer.phase == Phase::kRepeat || transfer.phase == Phase::kRepeatAck;
    return End(position, node, Kind::kNoAnswer,
               repeating
                   ? Name(position) + " did not repeat its lost reply within " + Millis(kAnswerWait)
                   : "no mailbox answer within " + Millis(kAnswerWait),
               now);
}

bool Mailboxes::SetAside(uint16_t position, Node& node, const MailboxReply& reply,
                         Clock::time_point now) {
    if (const auto* emergency = std::get_if<Emergency>(&reply)) {
        node.emergencies.push_back({*emergency, now});
        ++emergenciesSeen_;
        if (node.emergencies.size() > kEmergenciesKept) node.emergencies.pop_front();
        notes_.push_back(Name(position) + ": " + EmergencyText(*emergency));
        return true;
    }
    notes_.push_back(Name(position) + ": set aside " + SetAsideText(reply));
    return false;
}

void Mailboxes::NextRequest(Node& node) {
    node.lastCounter = NextMailboxCounter(node.lastCounter);
    node.transfer->counter = node.lastCounter;
}

SdoOutcome Mailboxes::End(uint16_t position, Node& node, SdoOutcome::Kind kind, std::string why,
                          Clock::time_point now) {
    if (kind == Kind::kNoAnswer)
        notes_.push_back(Name(position) + ": " + SdoObjectText(node.transfer->object) +
                         " given up: " + why);
    SdoOutcome outcome;
    outcome.position = position;
    outcome.object = node.transfer->object;
    outcome.kind = kind;
    outcome.why = std::move(why);
    outcome.at = now;
    node.transfer.reset();
    return outcome;
}

std::map<uint16_t, std::deque<TimedEmergency>> Mailboxes::emergencies() const {
    std::map<uint16_t, std::deque<TimedEmergency>> all;
    for (std::size_t i = 0; i < nodes_.size(); ++i)
        if (!nodes_[i].emergencies.empty()) all[static_cast<uint16_t>(i)] = nodes_[i].emergencies;
    return all;
}

}  // namespace kestrum::ecat
