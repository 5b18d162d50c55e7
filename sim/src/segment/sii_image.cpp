#include "sim/src/segment/sii_image.h"

#include <algorithm>

#include "ecat/frame.h"
#include "ecat/sii.h"

namespace kestrum::sim {
namespace {

constexpr uint32_t kFirstCategorySizeWord = ecat::kSiiFirstCategoryWord + 1;
constexpr uint32_t kWordsPerKbit = 64;
constexpr std::size_t kPdoWords = 4;  // its header, and each entry
constexpr std::size_t kMaxEntriesPerPdo = 255;
constexpr uint16_t kFillerPdo = 0x1B00;
constexpr uint16_t kFillerObject = 0x2000;
constexpr uint8_t kUnassigned = 0xFF;

// Byte-wide entries of a manufacturer's object in PDOs no sync manager takes: read by
// a walk, counted as no I/O.
void AddFiller(std::vector<ecat::Pdo>& pdos, int32_t words) {
    auto left = static_cast<std::size_t>(std::max(words, 0));
    uint16_t index = kFillerPdo;
    while (left >= 2 * kPdoWords) {
        const std::size_t count = std::min((left - kPdoWords) / kPdoWords, kMaxEntriesPerPdo);
        ecat::Pdo& pdo = pdos.emplace_back();
        pdo.index = index++;
        pdo.syncManager = kUnassigned;
        for (std::size_t i = 0; i < count; ++i) {
            pdo.entries.push_back({.index = static_cast<uint16_t>(kFillerObject + pdos.size()),
                                   .subindex = static_cast<uint8_t>(i + 1),
                                   .bitLength = 8});
        }
        left -= kPdoWords * (count + 1);
    }
}

void PutWord(std::vector<uint8_t>& image, uint32_t word, uint16_t value) {
    if (std::size_t{word} * 2 + 2 <= image.size())
        ecat::PutLe16(image, std::size_t{word} * 2, value);
}

// EEPROMs come in powers of two from 16 Kbit.
uint32_t SmallestKbit(std::size_t words) {
    uint32_t kbit = 16;
    while (std::size_t{kbit} * kWordsPerKbit < words) kbit *= 2;
    return kbit;
}

}  // namespace

std::vector<uint8_t> SiiImageOf(const Node& device) {
    const ecat::IoCounts io{.inputs = device.inputCount,
                            .outputs = device.outputCount,
                            .ad = device.adCount,
                            .da = device.daCount,
                            .axes = device.axisCount};
    ecat::SiiInfo info =
        ecat::SiiFor(static_cast<uint32_t>(device.vendorId), static_cast<uint32_t>(device.deviceId),
                     static_cast<uint32_t>(device.revision), io);
    AddFiller(info.txPdos, device.esc.siiPdoWords);
    if (device.coe) info.mailbox = kCoeMailbox;
    std::vector<uint8_t> image = ecat::BuildSii(
        info, static_cast<uint16_t>(std::clamp<int32_t>(device.switchNo, 0, 0xFFFF)));
    const auto serial = static_cast<uint32_t>(device.serial);
    PutWord(image, ecat::kSiiSerialWord, static_cast<uint16_t>(serial & 0xFFFF));
    PutWord(image, ecat::kSiiSerialWord + 1, static_cast<uint16_t>(serial >> 16));
    // Only when a category follows the header area: an empty SII has only the end marker.
    if (device.esc.siiCategorySize && image.size() >= (kFirstCategorySizeWord + 1) * 2 &&
        ecat::Le16(image, ecat::kSiiFirstCategoryWord * 2) != ecat::kCategoryEnd)
        PutWord(image, kFirstCategorySizeWord, static_cast<uint16_t>(*device.esc.siiCategorySize));
    // Written here rather than trusted from the image builder: the EEPROM wraps by it.
    const uint32_t kbit = device.esc.eepromKbit ? static_cast<uint32_t>(*device.esc.eepromKbit)
                                                : SmallestKbit(image.size() / 2);
    PutWord(image, ecat::kSiiEepromSizeWord, static_cast<uint16_t>(kbit - 1));
    // A smaller EEPROM than the image needs holds only its start.
    image.resize(std::min<std::size_t>(image.size(), std::size_t{kbit} * kWordsPerKbit * 2));
    return image;
}

}  // namespace kestrum::sim
