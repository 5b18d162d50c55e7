#include "sim/src/segment/esc.h"

#include <algorithm>
#include <vector>

#include "ecat/registers.h"
#include "sim/src/segment/sii_image.h"

namespace kestrum::sim {
namespace {

namespace ecat = pelvane::ecat;

// An ET1100-like controller: ports 0 and 1 are MII, 2 and 3 absent.
constexpr uint8_t kEscType = 0x11;
constexpr uint8_t kEscRevision = 0x00;
constexpr uint16_t kEscBuild = 0x0003;
constexpr uint8_t kFmmus = 8;
constexpr uint8_t kSyncManagers = 8;
constexpr uint8_t kRamKib = 8;
constexpr uint8_t kPortDescriptor = 0x0F;

constexpr std::size_t kCounterClearFirst = 0x0300;
constexpr std::size_t kCounterClearLast = 0x030B;
constexpr std::size_t kOtherCounterFirst = 0x030C;
constexpr std::size_t kLostLinkLast = 0x0313;
constexpr std::size_t kPdiErrorCode = 0x030E;  // 2 bytes, a code rather than a counter

constexpr uint16_t kAlError = 0x0010;
constexpr uint16_t kAlDeviceId = 0x0020;

// Wide enough for a count that rose to the top past a negative one taken as zero.
uint8_t CounterByte(int64_t value) {
    return static_cast<uint8_t>(std::clamp<int64_t>(value, 0, 0xFF));
}

}  // namespace

EmulatedEsc::EmulatedEsc(const SegmentNode& node, SteadyClock::time_point now)
    : device_(node), eeprom_(SiiImageOf(node.device), node.device.esc, now) {
    const auto alias =
        node.device.esc.ConfigLoaded()
            ? static_cast<uint16_t>(std::clamp<int32_t>(node.device.switchNo, 0, 0xFFFF))
            : uint16_t{0};

    registers_[ecat::kRegType] = kEscType;
    registers_[0x0001] = kEscRevision;
    SetRegister16(0x0002, kEscBuild);
    registers_[0x0004] = kFmmus;
    registers_[0x0005] = kSyncManagers;
    registers_[0x0006] = kRamKib;
    registers_[0x0007] = kPortDescriptor;
    SetRegister16(ecat::kRegAlias, alias);
    Update(node, true, now);
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
           d.esc.siiPdoWords == n.esc.siiPdoWords && d.esc.siiCategorySize == n.esc.siiCategorySize;
}

void EmulatedEsc::Update(const SegmentNode& node, bool last, SteadyClock::time_point now) {
    SetRegister16(ecat::kRegDlStatus, node.dlStatus.value_or(LineDlStatus(node.device, !last)));
    // The node's application sets its state; the master's AL control requests go unheard.
    // After an ID request, 0134H holds the device ID in place of any code.
    const Node& device = node.device;
    auto status = static_cast<uint16_t>(device.alState & 0x0F);
    if (device.alError) status |= kAlError;
    if (device.alDeviceId) status |= kAlDeviceId;
    SetRegister16(ecat::kRegAlStatus, status);
    const int32_t code = device.alDeviceId ? device.switchNo : device.alStatusCode;
    SetRegister16(ecat::kRegAlStatusCode,
                  static_cast<uint16_t>(std::clamp<int32_t>(code, 0, 0xFFFF)));
    eeprom_.Update(node.device.esc, now);
    for (std::size_t i = 0; i < counters_.size(); ++i) {
        counters_[i] = node.counters[i];
        // A counter set back below the last clear starts over from the simulator's value.
        if (counters_[i] < clearedAt_[i]) clearedAt_[i] = 0;
        registers_[ecat::kRegErrorCounters + i] =
            CounterByte(int64_t{counters_[i]} - clearedAt_[i]);
    }
}

void EmulatedEsc::Read(uint16_t address, std::span<uint8_t> out) const {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t at = std::size_t{address} + i;
        if (at >= kEepromFirst && at < kEepromFirst + kEepromBytes)
            out[i] = eeprom_.Read(at - kEepromFirst);
        else
            out[i] = at < registers_.size() ? registers_[at] : 0;
    }
}

// Only what a master may change on an ESC is kept; other writes are taken and ignored,
// as the ESC's read-only registers take them.
void EmulatedEsc::Write(uint16_t address, std::span<const uint8_t> in) {
    bool clearCounters = false;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const std::size_t at = std::size_t{address} + i;
        const uint8_t value = in[i];
        if (at == ecat::kRegStationAddress || at == ecat::kRegStationAddress + 1) {
            registers_[at] = value;
        } else if (at >= kCounterClearFirst && at <= kCounterClearLast) {
            clearCounters = true;
        } else if (at >= kOtherCounterFirst && at <= kLostLinkLast && at != kPdiErrorCode &&
                   at != kPdiErrorCode + 1) {
            const std::size_t k = at - ecat::kRegErrorCounters;
            clearedAt_[k] = counters_[k];
            registers_[at] = 0;
        }
    }
    if (clearCounters) ClearCounters();
    // The EEPROM interface takes its part of the write as one, as the ESC does.
    const std::size_t begin = std::max<std::size_t>(address, kEepromFirst);
    const std::size_t end = std::min(std::size_t{address} + in.size(), kEepromFirst + kEepromBytes);
    if (begin < end) eeprom_.Write(begin - kEepromFirst, in.subspan(begin - address, end - begin));
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
    const std::size_t group = kCounterClearLast + 1 - kCounterClearFirst;
    std::copy_n(counters_.begin(), group, clearedAt_.begin());
    std::fill(registers_.begin() + kCounterClearFirst, registers_.begin() + kCounterClearLast + 1,
              uint8_t{0});
}

}  // namespace kestrum::sim
