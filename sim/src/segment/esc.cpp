#include "sim/src/segment/esc.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "ecat/registers.h"
#include "kestrum/language/error_registers.h"
#include "sim/src/node_dl_status.h"
#include "sim/src/segment/coe_replies.h"
#include "sim/src/segment/sii_image.h"

namespace kestrum::sim {
namespace {

// An ET1100-like controller: ports 0 and 1 are MII, 2 and 3 absent.
constexpr uint8_t kEscType = 0x11;
constexpr uint8_t kEscRevision = 0x00;
constexpr uint16_t kEscBuild = 0x0003;
constexpr uint8_t kFmmus = 8;
constexpr uint8_t kSyncManagers = 8;
constexpr uint8_t kRamKib = 8;
constexpr uint8_t kPortDescriptor = 0x0F;

using ecat::kAlAcknowledge;
using ecat::kAlStateMask;
using ecat::kAlCodeInvalidMailbox;
using ecat::kAlCodeInvalidStateChange;
using ecat::kAlErrorBit;
using ecat::kAlIdLoadedBit;

using ecat::kSmActivate;
using ecat::kSmControl;
using ecat::kSmDeactivated;
using ecat::kSmEnable;
using ecat::kSmLength;
using ecat::kSmPdiControl;
using ecat::kSmRepeat;
using ecat::kSmStart;
using ecat::kSmStatus;
using ecat::kSyncManagerBytes;
constexpr std::size_t kSyncManagers01 = ecat::kRegSyncManager0;
constexpr uint8_t kSmFull = ecat::kSmMailboxFull;
constexpr uint8_t kReceiveControl = ecat::kSm0MailboxControl;
constexpr uint8_t kSendControl = ecat::kSm1MailboxControl;

bool MailboxState(int32_t state) {
    return state == ecat::kAlStatePreop || state == ecat::kAlStateSafeop ||
           state == ecat::kAlStateOp;
}

// Wide enough for a count that rose to the top past a negative one taken as zero.
uint8_t CounterByte(int64_t value) {
    return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 0xFF));
}

}  // namespace

EmulatedEsc::EmulatedEsc(const SegmentNode& node, SteadyClock::time_point now)
    : device_(node),
      eeprom_(SiiImageOf(node.device), node.device.esc, now),
      startCounter_(node.device.coe ? node.device.coe->lastCounter : 0),
      emergenciesSeen_(node.emergencies) {
    const auto alias =
        node.device.esc.ConfigLoaded()
            ? static_cast<uint16_t>(std::clamp<int32_t>(node.device.switchNo, 0, 0xFFFF))
            : uint16_t{0};

    registers_[ecat::kRegType] = kEscType;
    registers_[ecat::kRegRevision] = kEscRevision;
    SetRegister16(ecat::kRegBuild, kEscBuild);
    registers_[ecat::kRegFmmus] = kFmmus;
    registers_[ecat::kRegSyncManagers] = kSyncManagers;
    registers_[ecat::kRegRamKib] = kRamKib;
    registers_[ecat::kRegPortDescriptor] = kPortDescriptor;
    SetRegister16(ecat::kRegAlias, alias);
    Update(node, true, now);
    if (node.device.coe && node.device.coe->stale) {
        mailbox_.Place(StaleUploadResponse());
        ShowMailbox();
    }
}

bool EmulatedEsc::SameDevice(const SegmentNode& node) const {
    const Node& d = device_.device;
    const Node& n = node.device;
    return d.vendorId == n.vendorId && d.deviceId == n.deviceId && d.revision == n.revision &&
           d.serial == n.serial && d.switchNo == n.switchNo && d.axisCount == n.axisCount &&
           d.inputCount == n.inputCount && d.outputCount == n.outputCount &&
           d.adCount == n.adCount && d.daCount == n.daCount &&
           d.esc.eepromEmulated == n.esc.eepromEmulated &&
           d.esc.eepromReadBytes == n.esc.eepromReadBytes &&
           d.esc.eepromChecksumError == n.esc.eepromChecksumError &&
           d.esc.eepromNotLoaded == n.esc.eepromNotLoaded && d.esc.eepromKbit == n.esc.eepromKbit &&
           d.esc.siiPdoWords == n.esc.siiPdoWords &&
           d.esc.siiCategorySize == n.esc.siiCategorySize && d.coe == n.coe;
}

void EmulatedEsc::Update(const SegmentNode& node, bool last, SteadyClock::time_point now) {
    now_ = now;
    SetRegister16(ecat::kRegDlStatus, node.dlStatus.value_or(LineDlStatus(node.device, !last)));
    const Node& device = node.device;
    simulator_ = {.state = device.alState & 0x0F,
                  .error = device.alError,
                  .code = device.alStatusCode,
                  .deviceId = device.alDeviceId};
    if (requested_ && requested_->simulator != simulator_) requested_.reset();
    ShowAl();
    eeprom_.Update(node.device.esc, now);
    for (std::size_t i = 0; i < counters_.size(); ++i) {
        counters_[i] = node.counters[i];
        // A counter set back below the last clear starts over from the simulator's value.
        if (counters_[i] < clearedAt_[i]) clearedAt_[i] = 0;
        registers_[ecat::kRegErrorCounters + i] =
            CounterByte(int64_t{counters_[i]} - clearedAt_[i]);
    }
    statusWord_ = static_cast<uint16_t>(device.statusWord);
    Settle();
    ServeMailbox(node);
    ShowMailbox();
}

bool EmulatedEsc::Read(uint16_t address, std::span<uint8_t> out) {
    if (mailbox_.Refuses(address, out.size(), false)) return false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t at = std::size_t{address} + i;
        if (at >= kEepromFirst && at < kEepromFirst + kEepromBytes)
            out[i] = eeprom_.Read(at - kEepromFirst);
        else
            out[i] = at < registers_.size() ? registers_[at] : 0;
    }
    if (std::size_t{address} + out.size() > kEscRegisterBytes) {
        mailbox_.Read(address, out);
        ShowMailbox();
    }
    return true;
}

// Only what a master may change on an ESC is kept; other writes are taken and ignored,
// as the ESC's read-only registers take them.
bool EmulatedEsc::Write(uint16_t address, std::span<const uint8_t> in) {
    if (mailbox_.Refuses(address, in.size(), true)) return false;
    bool clearCounters = false;
    std::optional<uint8_t> alControl;
    const std::size_t registerEnd = std::min(std::size_t{address} + in.size(), kEscRegisterBytes);
    for (std::size_t at = address; at < registerEnd; ++at) {
        const uint8_t value = in[at - address];
        if (at == ecat::kRegStationAddress || at == ecat::kRegStationAddress + 1) {
            registers_[at] = value;
        } else if (at >= ecat::kRegErrorCounters &&
                   at < std::size_t{ecat::kRegErrorCounters} + ecat::kErrorCounterBytes) {
            const std::size_t k = at - ecat::kRegErrorCounters;
            if (language::ClearedTogether(language::kErrorRegisters[k].kind)) {
                clearCounters = true;
            } else if (language::IsErrorCounter(static_cast<int>(k))) {
                clearedAt_[k] = counters_[k];
                registers_[at] = 0;
            }
        } else if (at >= kSyncManagers01 && at < kSyncManagers01 + 2 * kSyncManagerBytes) {
            WriteSyncManager(at, value);
        } else if (at == ecat::kRegAlControl) {
            registers_[at] = value;
            alControl = value;
        }
    }
    if (clearCounters) ClearCounters();
    // The EEPROM interface takes its part of the write as one, as the ESC does.
    const std::size_t begin = std::max<std::size_t>(address, kEepromFirst);
    const std::size_t end = std::min(std::size_t{address} + in.size(), kEepromFirst + kEepromBytes);
    if (begin < end) eeprom_.Write(begin - kEepromFirst, in.subspan(begin - address, end - begin));
    mailbox_.Write(address, in, now_);
    if (alControl) RequestState(*alControl);
    ShowMailbox();
    return true;
}

uint16_t EmulatedEsc::stationAddress() const {
    return Register16(ecat::kRegStationAddress);
}

uint16_t EmulatedEsc::Register16(std::size_t address) const {
    return static_cast<uint16_t>(registers_[address] | (registers_[address + 1] << 8));
}

void EmulatedEsc::SetRegister16(std::size_t address, uint16_t value) {
    registers_[address] = static_cast<uint8_t>(value & 0xFF);
    registers_[address + 1] = static_cast<uint8_t>(value >> 8);
}

void EmulatedEsc::ClearCounters() {
    for (std::size_t k = 0; k < counters_.size(); ++k) {
        if (!language::ClearedTogether(language::kErrorRegisters[k].kind)) continue;
        clearedAt_[k] = counters_[k];
        registers_[ecat::kRegErrorCounters + k] = 0;
    }
}

EmulatedEsc::AlView EmulatedEsc::Al() const {
    return requested_ ? requested_->al : simulator_;
}

// After an ID request, 0134H holds the device ID in place of any code.
void EmulatedEsc::ShowAl() {
    const AlView al = Al();
    auto status = static_cast<uint16_t>(al.state & 0x0F);
    if (al.error) status |= kAlErrorBit;
    if (al.deviceId) status |= kAlIdLoadedBit;
    SetRegister16(ecat::kRegAlStatus, status);
    const int32_t code = al.deviceId ? device_.device.switchNo : al.code;
    SetRegister16(ecat::kRegAlStatusCode,
                  static_cast<uint16_t>(std::clamp<int32_t>(code, 0, 0xFFFF)));
}

// Back to INIT from anywhere, INIT to PREOP once the mailbox SyncManagers are right, and
// down to PREOP; the node has no process data, so other requests are refused in place.
void EmulatedEsc::RequestState(uint8_t control) {
    const int32_t want = control & kAlStateMask;
    if (want == 0) return;
    AlView next = Al();
    next.deviceId = false;
    if ((control & kAlAcknowledge) != 0) {
        next.error = false;
        next.code = 0;
    }
    if (want == ecat::kAlStateInit) {
        next.state = want;
    } else if (want == ecat::kAlStatePreop && next.state == ecat::kAlStateInit) {
        next = SyncManagersMatchSii()
                   ? AlView{.state = want}
                   : AlView{.state = next.state, .error = true, .code = kAlCodeInvalidMailbox};
    } else if (want == ecat::kAlStatePreop && MailboxState(next.state)) {
        next.state = want;
    } else if (want != next.state) {
        next.error = true;
        next.code = kAlCodeInvalidStateChange;
    }
    requested_ = Requested{.al = next, .simulator = simulator_};
    ShowAl();
    Settle();
}

// A node whose SII names no mailbox has nothing to check.
bool EmulatedEsc::SyncManagersMatchSii() const {
    if (!device_.device.coe) return true;
    const auto matches = [&](std::size_t n, uint16_t start, uint16_t length, uint8_t control) {
        const std::size_t base = kSyncManagers01 + n * kSyncManagerBytes;
        return Register16(base + kSmStart) == start && Register16(base + kSmLength) == length &&
               registers_[base + kSmControl] == control &&
               (registers_[base + kSmActivate] & kSmEnable) != 0;
    };
    return matches(0, kCoeMailbox.receiveStart, kCoeMailbox.receiveLength, kReceiveControl) &&
           matches(1, kCoeMailbox.sendStart, kCoeMailbox.sendLength, kSendControl);
}

// Status and PDI control are never the master's; an enabled SyncManager takes only the
// repeat request.
void EmulatedEsc::WriteSyncManager(std::size_t at, uint8_t value) {
    const std::size_t offset = (at - kSyncManagers01) % kSyncManagerBytes;
    if (offset == kSmStatus || offset == kSmPdiControl) return;
    if (Al().state == ecat::kAlStateInit) {
        registers_[at] = value;
    } else if (offset == kSmActivate) {
        registers_[at] = static_cast<uint8_t>((registers_[at] & ~kSmRepeat) | (value & kSmRepeat));
    }
}

void EmulatedEsc::SetSyncManager(std::size_t n, MailboxArea area, uint8_t control) {
    const std::size_t base = kSyncManagers01 + n * kSyncManagerBytes;
    SetRegister16(base + kSmStart, area.start);
    SetRegister16(base + kSmLength, area.length);
    registers_[base + kSmControl] = control;
    registers_[base + kSmActivate] |= kSmEnable;
}

void EmulatedEsc::Settle() {
    const int32_t lastCounter = std::exchange(startCounter_, 0);
    const bool want = device_.device.coe && MailboxState(Al().state);
    if (want == mailbox_.open()) return;
    if (!want) {
        mailbox_.Close();
        return;
    }
    MailboxArea receive{kCoeMailbox.receiveStart, kCoeMailbox.receiveLength};
    MailboxArea send{kCoeMailbox.sendStart, kCoeMailbox.sendLength};
    // A state the simulator set stands for a master that set the node up before us.
    if (!requested_) {
        if (const auto sm0 = device_.device.coe->sm0Start) {
            receive.start = *sm0;
            send.start = static_cast<uint16_t>(*sm0 + receive.length);
        }
        SetSyncManager(0, receive, kReceiveControl);
        SetSyncManager(1, send, kSendControl);
    }
    // No repeat request left over from before.
    const std::size_t ack = kSyncManagers01 + kSyncManagerBytes + kSmPdiControl;
    registers_[ack] =
        static_cast<uint8_t>((registers_[ack] & ~kSmRepeat) | (registers_[ack - 1] & kSmRepeat));
    mailbox_.Open(receive, send, lastCounter);
}

void EmulatedEsc::ServeMailbox(const SegmentNode& node) {
    // Raised while the mailbox is off, they are lost.
    const auto& codes = node.emergencyCodes;
    const uint32_t fresh = std::min<uint32_t>(node.emergencies - emergenciesSeen_,
                                              static_cast<uint32_t>(codes.size()));
    for (uint32_t k = fresh; k > 0; --k)
        mailbox_.Post(CoeEmergency(codes[(node.emergencies - k) % codes.size()]), now_);
    emergenciesSeen_ = node.emergencies;
    if (!mailbox_.open()) return;
    const std::size_t activate = kSyncManagers01 + kSyncManagerBytes + kSmActivate;
    const uint8_t repeat = registers_[activate] & kSmRepeat;
    if (repeat != (registers_[activate + 1] & kSmRepeat)) {
        mailbox_.Repeat();
        registers_[activate + 1] ^= kSmRepeat;
    }
    mailbox_.Serve(*device_.device.coe, statusWord_, now_);
}

void EmulatedEsc::ShowMailbox() {
    registers_[kSyncManagers01 + kSmStatus] = mailbox_.receiveFull() ? kSmFull : 0;
    registers_[kSyncManagers01 + kSyncManagerBytes + kSmStatus] = mailbox_.sendFull() ? kSmFull : 0;
    for (std::size_t n = 0; n < 2; ++n) {
        uint8_t& pdi = registers_[kSyncManagers01 + n * kSyncManagerBytes + kSmPdiControl];
        pdi =
            static_cast<uint8_t>((pdi & ~kSmDeactivated) | (mailbox_.open() ? 0 : kSmDeactivated));
    }
}

}  // namespace kestrum::sim
