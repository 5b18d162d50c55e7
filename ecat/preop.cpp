#include "ecat/preop.h"

#include <algorithm>
#include <cstdio>

#include "ecat/coe.h"
#include "ecat/registers.h"

namespace kestrum::ecat {
namespace {

// Room for the shortest SDO message.
constexpr std::size_t kShortestMailbox = kMailboxHeaderBytes + kSdoBytes;

std::string Name(uint16_t position) {
    return "Node" + std::to_string(position);
}

bool Usable(const MailboxWords& box) {
    return box.receiveLength >= kShortestMailbox && box.sendLength >= kShortestMailbox &&
           box.receiveStart >= kFirstMemoryAddress && box.sendStart >= kFirstMemoryAddress &&
           box.receiveLength <= kMaxDatagramData && box.sendLength <= kMaxDatagramData;
}

std::vector<uint8_t> SyncManagers(const MailboxWords& box) {
    std::vector<uint8_t> block(2 * kSyncManagerBytes, 0);
    const auto put = [&block](std::size_t sm, uint16_t start, uint16_t length, uint8_t control) {
        const std::size_t at = sm * kSyncManagerBytes;
        PutLe16(block, at + kSmStart, start);
        PutLe16(block, at + kSmLength, length);
        block[at + kSmControl] = control;
        block[at + kSmActivate] = kSmEnable;
    };
    put(0, box.receiveStart, box.receiveLength, kSm0MailboxControl);
    put(1, box.sendStart, box.sendLength, kSm1MailboxControl);
    return block;
}

}  // namespace

StateRaiser::Raised* StateRaiser::Find(uint16_t position, const NodeScan& node) {
    for (Raised& raised : raised_)
        if (raised.position == position && raised.vendorId == node.sii.vendorId &&
            raised.productCode == node.sii.productCode && raised.serial == node.sii.serial)
            return &raised;
    return nullptr;
}

bool StateRaiser::Ask(uint16_t position, const NodeScan& node) {
    std::vector<Datagram> datagrams = {
        WriteAt(position, kRegSyncManager0, SyncManagers(node.sii.mailbox)),
        WriteAt(position, kRegAlControl, {kAlStatePreop, 0x00})};
    std::string error;
    const auto replies = master_.Exchange(std::move(datagrams), &error);
    if (!replies || (*replies)[0].wkc == 0 || (*replies)[1].wkc == 0) {
        notes_.push_back(Name(position) + ": PREOP not asked for: " +
                         (replies ? std::string("the node did not take the writes") : error));
        return false;
    }
    return true;
}

void StateRaiser::Follow(const BusScan& scan, Clock::time_point now) {
    for (std::size_t i = 0; i < scan.nodes.size(); ++i) {
        const NodeScan& node = scan.nodes[i];
        const auto position = static_cast<uint16_t>(i);
        const uint16_t state = node.alStatus & 0x0F;
        Raised* raised = Find(position, node);
        if (raised && !raised->reached && !raised->givenUp) {
            if (state == kAlStatePreop) {
                raised->reached = true;
                notes_.push_back(Name(position) + " is in PREOP");
            } else if ((node.alStatus & kAlErrorBit) != 0 || now - raised->askedAt > kRaiseWait) {
                char code[64];
                std::snprintf(code, sizeof code, " (AL status %04XH, code %04XH)", node.alStatus,
                              node.alStatusCode);
                notes_.push_back(Name(position) + " did not reach PREOP" + code);
                raised->givenUp = true;
            }
            continue;
        }
        if (state != kAlStateInit || (node.alStatus & kAlErrorBit) != 0 || !node.registersRead ||
            !node.siiRead || !Usable(node.sii.mailbox))
            continue;
        if (raised && now - raised->askedAt < kRetryAfter) continue;
        if (!Ask(position, node)) continue;
        if (!raised) {
            raised_.push_back({position, node.sii.vendorId, node.sii.productCode, node.sii.serial});
            raised = &raised_.back();
        }
        raised->askedAt = now;
        raised->reached = false;
        raised->givenUp = false;
        notes_.push_back(Name(position) + ": PREOP asked for");
    }
}

void StateRaiser::LowerAll() {
    std::vector<Datagram> datagrams;
    for (const Raised& raised : raised_)
        if (raised.reached)
            datagrams.push_back(WriteAt(raised.position, kRegAlControl, {kAlStateInit, 0x00}));
    if (datagrams.empty()) return;
    master_.Exchange(std::move(datagrams));
    raised_.clear();
}

}  // namespace kestrum::ecat
