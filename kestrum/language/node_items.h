// Items of "?NODE_INFO(0,node,item)": what the client asks and the servers answer.
#pragma once

#include <cstdint>

#include "kestrum/language/error_registers.h"

namespace kestrum::language {

enum NodeInfoItem : int32_t {
    kItemVendorId = 0,
    kItemDeviceId = 1,
    kItemRevision = 2,
    kItemSwitchNo = 3,
    kItemInputCount = 10,
    kItemOutputCount = 11,
    kItemAdCount = 12,
    kItemDaCount = 13,
    // The DL status register's two bytes, 110H low and 111H high: each port's link, loop
    // and communication, from which a client places the node on the line.
    kItemDlStatus = 0x110,
    // One item a byte of the slave controller's error registers 300H..313H, numbered by
    // address: what each counts is in error_registers.h.
    kItemRegister300H = kErrorRegisterBase,
};

inline constexpr int32_t kDlStatusItemCount = 2;

// Register items are single bytes, so only they can be read in bulk.
inline constexpr int32_t kMaxRegisterBytes = 64;

// Whether items first to first + count - 1 are all bytes of one register block.
inline constexpr bool IsRegisterRange(int32_t first, int32_t count) {
    const auto within = [&](int32_t block, int32_t size) {
        return first >= block && int64_t{first} + count <= int64_t{block} + size;
    };
    return count >= 1 && (within(kItemDlStatus, kDlStatusItemCount) ||
                          within(kItemRegister300H, kErrorRegisterCount));
}

// Whether the item is a byte of the error registers, kItemRegister300H + its offset.
inline constexpr bool IsErrorRegisterItem(int32_t item) {
    return item >= kItemRegister300H && item < kItemRegister300H + kErrorRegisterCount;
}

// The items read from the node's SII; the rest are its registers or dial switch.
inline constexpr bool IsSiiItem(int32_t item) {
    return (item >= kItemVendorId && item <= kItemRevision) ||
           (item >= kItemInputCount && item <= kItemDaCount);
}

// Every item a controller of ours answers.
inline constexpr bool IsNodeItem(int32_t item) {
    return IsSiiItem(item) || item == kItemSwitchNo || IsRegisterRange(item, 1);
}

}  // namespace kestrum::language
