#include "ecat/eeprom.h"

#include <thread>

#include "ecat/registers.h"

namespace pelvane::ecat {

namespace {

constexpr uint16_t kStatusBlockBytes = 14;  // 0502H-050FH
constexpr std::size_t kEchoOffset = 2;      // 0504H within the block
constexpr std::size_t kDataOffset = 6;      // 0508H within the block
constexpr uint16_t kMissingAck = 0x2000;
constexpr uint16_t kStickyErrors = 0x6000;  // missing acknowledge, write enable error
constexpr uint16_t kChecksumError = 0x0800;
constexpr uint16_t kNotLoaded = 0x1000;
constexpr uint16_t kEmulated = 0x0020;

bool Idle(uint16_t control) {
    return (control & (kEepromBusy | kEepromCommandMask)) == 0;
}

}  // namespace

std::string_view SiiFaultText(SiiFault fault) {
    switch (fault) {
        case SiiFault::kNone:
            return "";
        case SiiFault::kHeldByProcessor:
            return "SII held by the node's processor";
        case SiiFault::kChecksumError:
            return "EEPROM checksum error";
        case SiiFault::kNotLoaded:
            return "EEPROM not loaded";
        case SiiFault::kTimeout:
            return "EEPROM timeout";
        case SiiFault::kMalformed:
            return "SII contents malformed";
    }
    return "EEPROM timeout";
}

std::optional<bool> EepromPort::Offered() {
    // One lost frame must not cost the node its identity until the next try.
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const auto reply = master_.Exchange({ReadAt(position_, kRegEepromConfig, 2)});
        if (!reply || reply->front().wkc != 1) continue;
        const std::vector<uint8_t>& data = reply->front().data;
        // Assigned to the PDI, or the PDI using it right now: either way not ours to touch.
        return (data[0] & 0x01) == 0 && (data[1] & 0x01) == 0;
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> EepromPort::Status() {
    const auto reply = master_.Exchange({ReadAt(position_, kRegEepromControl, kStatusBlockBytes)});
    if (!reply || reply->front().wkc != 1) return std::nullopt;
    lastStatus_ = Le16(reply->front().data, 0);
    return reply->front().data;
}

std::optional<std::vector<uint8_t>> EepromPort::AwaitIdle(Clock::time_point since) {
    for (;;) {
        // A poll whose frame was lost is only a poll that told nothing.
        auto block = Status();
        if (block && Idle(lastStatus_)) return block;
        const bool emulated = (lastStatus_ & kEmulated) != 0;
        if (Clock::now() >= since + (emulated ? kEmulatedDeadline : kDeadline)) return std::nullopt;
        std::this_thread::sleep_for(kPollGap);
    }
}

void EepromPort::Command(uint16_t command, std::optional<uint32_t> word) {
    Datagram write = ReadAt(position_, kRegEepromControl, word ? 6 : 2);
    write.command = Command::kApwr;
    PutLe16(write.data, 0, command);
    if (word) PutLe32(write.data, 2, *word);
    ++commands_;
    (void)master_.Exchange({write});
}

std::optional<std::vector<uint8_t>> EepromPort::Attempt(uint32_t word, bool* retry) {
    *retry = false;
    auto block = AwaitIdle(Clock::now());
    if (!block) return std::nullopt;
    // A missing acknowledge or write enable error stays until command 000 clears it.
    if ((lastStatus_ & kStickyErrors) != 0) {
        Command(0, std::nullopt);
        if (!(block = AwaitIdle(Clock::now()))) return std::nullopt;
    }
    // A write whose frame was lost may have reached the node all the same: the echoed
    // address tells, not the reply.
    Command(kEepromCommandRead, word);
    block = AwaitIdle(Clock::now());
    if (!block) return std::nullopt;
    // A node that ignored the command, or never got it, echoes another address.
    if ((lastStatus_ & kMissingAck) != 0 || Le32(*block, kEchoOffset) != word) {
        *retry = true;
        return std::nullopt;
    }
    const std::size_t bytes = (lastStatus_ & kEepromReads8Bytes) != 0 ? 8 : 4;
    return std::vector<uint8_t>(block->begin() + kDataOffset,
                                block->begin() + static_cast<long>(kDataOffset + bytes));
}

std::optional<std::vector<uint8_t>> EepromPort::Read(uint32_t word, SiiFault* fault) {
    for (int attempt = 0; attempt < kTries; ++attempt) {
        bool retry = false;
        if (auto data = Attempt(word, &retry)) {
            *fault = SiiFault::kNone;
            return data;
        }
        if (!retry) break;
    }
    // The power-up load's bits say why a node cannot be read better than a time-out.
    *fault = (lastStatus_ & kNotLoaded) != 0       ? SiiFault::kNotLoaded
             : (lastStatus_ & kChecksumError) != 0 ? SiiFault::kChecksumError
                                                   : SiiFault::kTimeout;
    return std::nullopt;
}

}  // namespace pelvane::ecat
