#include "ecat/eeprom.h"

#include <thread>

#include "ecat/registers.h"

namespace kestrum::ecat {

namespace {

// 0502H-050FH: control and status, the address echoed, the data.
constexpr uint16_t kStatusBlockBytes = kRegEepromConfig + kEepromInterfaceBytes - kRegEepromControl;
constexpr std::size_t kEchoOffset = kRegEepromAddress - kRegEepromControl;
constexpr std::size_t kDataOffset = kRegEepromData - kRegEepromControl;
constexpr uint16_t kStickyErrors = kEepromMissingAck | kEepromWriteEnableError;

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
        case SiiFault::kNotAnswered:
            return "not answered";
        case SiiFault::kMalformed:
            return "SII contents malformed";
    }
    return "EEPROM timeout";
}

std::optional<bool> EepromPort::Offered(std::optional<Clock::time_point> waitUntil) {
    // One lost frame must not cost the node its identity until the next try.
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const auto reply =
            master_.Exchange({ReadAt(position_, kRegEepromConfig, 2)}, nullptr, waitUntil);
        if (!reply || reply->front().wkc != 1) continue;
        const std::vector<uint8_t>& data = reply->front().data;
        // Assigned to the PDI, or the PDI using it right now: either way not ours to touch.
        return (data[0] & 0x01) == 0 && (data[1] & 0x01) == 0;
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> EepromPort::Status() {
    const auto reply = master_.Exchange({ReadAt(position_, kRegEepromControl, kStatusBlockBytes)},
                                        nullptr, waitUntil_);
    if (!reply || reply->front().wkc != 1) return std::nullopt;
    lastStatus_ = Le16(reply->front().data, 0);
    return reply->front().data;
}

bool EepromPort::Expired() const {
    const bool emulated = (lastStatus_ & kEepromEmulated) != 0;
    return Clock::now() >= waitSince_ + (emulated ? kEmulatedDeadline : kDeadline);
}

void EepromPort::Command(uint16_t command, std::optional<uint32_t> word) {
    Datagram write = WriteAt(position_, kRegEepromControl, std::vector<uint8_t>(word ? 6 : 2, 0));
    PutLe16(write.data, 0, command);
    if (word) PutLe32(write.data, 2, *word);
    ++commands_;
    (void)master_.Exchange({write}, nullptr, waitUntil_);
}

EepromPort::Progress EepromPort::Await(Phase phase) {
    phase_ = phase;
    waitSince_ = Clock::now();
    return Progress::kPending;
}

EepromPort::Progress EepromPort::Failed(SiiFault* fault) const {
    // The power-up load's bits say why a node cannot be read better than a time-out.
    *fault = (lastStatus_ & kEepromNotLoaded) != 0       ? SiiFault::kNotLoaded
             : (lastStatus_ & kEepromChecksumError) != 0 ? SiiFault::kChecksumError
                                                         : SiiFault::kTimeout;
    return Progress::kFailed;
}

void EepromPort::Begin(uint32_t word) {
    word_ = word;
    attempt_ = 0;
    Await(Phase::kBeforeCommand);
}

EepromPort::Progress EepromPort::Take(const std::vector<uint8_t>& block, std::vector<uint8_t>* data,
                                      SiiFault* fault) {
    // A node that ignored the command, or never got it, echoes another address; a write
    // whose frame was lost may have reached the node all the same, so the echo tells.
    if ((lastStatus_ & kEepromMissingAck) != 0 || Le32(block, kEchoOffset) != word_) {
        if (++attempt_ < kTries) return Await(Phase::kBeforeCommand);
        return Failed(fault);
    }
    const std::size_t bytes = (lastStatus_ & kEepromReads8Bytes) != 0 ? 8 : 4;
    data->assign(block.begin() + kDataOffset,
                 block.begin() + static_cast<long>(kDataOffset + bytes));
    *fault = SiiFault::kNone;
    return Progress::kDone;
}

EepromPort::Progress EepromPort::Step(std::vector<uint8_t>* data, SiiFault* fault,
                                      std::optional<Clock::time_point> waitUntil) {
    waitUntil_ = waitUntil;
    // A poll whose frame was lost is only a poll that told nothing. Never a command while
    // the interface is busy.
    const auto block = Status();
    if (!block || !Idle(lastStatus_)) return Expired() ? Failed(fault) : Progress::kPending;
    switch (phase_) {
        case Phase::kBeforeCommand:
            // A missing acknowledge or write enable error stays until command 000 clears it.
            if ((lastStatus_ & kStickyErrors) != 0) {
                Command(0, std::nullopt);
                return Await(Phase::kClearing);
            }
            [[fallthrough]];
        case Phase::kClearing:
            Command(kEepromCommandRead, word_);
            return Await(Phase::kReading);
        case Phase::kReading:
            return Take(*block, data, fault);
    }
    return Failed(fault);
}

std::optional<std::vector<uint8_t>> EepromPort::Read(uint32_t word, SiiFault* fault) {
    Begin(word);
    std::vector<uint8_t> data;
    for (;;) {
        switch (Step(&data, fault)) {
            case Progress::kDone:
                return data;
            case Progress::kFailed:
                return std::nullopt;
            case Progress::kPending:
                std::this_thread::sleep_for(kPollGap);
                break;
        }
    }
}

}  // namespace kestrum::ecat
