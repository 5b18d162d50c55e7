// Arbitrary bytes as a node's EEPROM image. What parses is counted, and its PDOs must
// survive being written to an image and read back.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ecat/sii.h"

namespace {

using kestrum::ecat::IoCounts;
using kestrum::ecat::Pdo;

bool SamePdos(const std::vector<Pdo>& a, const std::vector<Pdo>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].index != b[i].index || a[i].syncManager != b[i].syncManager) return false;
        if (a[i].entries.size() != b[i].entries.size()) return false;
        for (std::size_t j = 0; j < a[i].entries.size(); ++j) {
            const auto& x = a[i].entries[j];
            const auto& y = b[i].entries[j];
            if (x.index != y.index || x.subindex != y.subindex || x.bitLength != y.bitLength) {
                return false;
            }
        }
    }
    return true;
}

bool SameCounts(const IoCounts& a, const IoCounts& b) {
    return a.inputs == b.inputs && a.outputs == b.outputs && a.ad == b.ad && a.da == b.da &&
           a.axes == b.axes;
}

// Images this small rebuild within one category's size word.
constexpr std::size_t kRebuildLimit = 0x10000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string error;
    const auto info = kestrum::ecat::ParseSii(std::span<const uint8_t>(data, size), &error);
    if (!info) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    const IoCounts io = kestrum::ecat::CountIo(*info);
    if (io.inputs < 0 || io.outputs < 0 || io.ad < 0 || io.da < 0) __builtin_trap();
    if (io.axes < 0 || io.axes > 8) __builtin_trap();
    if (io.axes > 0 && (io.ad != 0 || io.da != 0)) __builtin_trap();
    if (size >= kRebuildLimit) return 0;

    const auto again = kestrum::ecat::ParseSii(kestrum::ecat::BuildSii(*info, 0), &error);
    if (!again || again->vendorId != info->vendorId || again->productCode != info->productCode ||
        again->revision != info->revision || !SamePdos(again->txPdos, info->txPdos) ||
        !SamePdos(again->rxPdos, info->rxPdos) || !SameCounts(kestrum::ecat::CountIo(*again), io)) {
        __builtin_trap();
    }
    return 0;
}
