// Items of "?NODE_INFO(0,node,item)": what the client asks and the servers answer.
#pragma once

#include <cstdint>

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
    // One item a byte of the slave controller's error counters: 300H to 303H are the
    // receive errors of ports 1 and 2; up to 313H follow ports 3 and 4, forwarded errors,
    // processing-unit and PDI errors and lost links.
    kItemRegister300H = 0x300,
};

inline constexpr int32_t kRegisterItemCount = 0x14;  // 300H..313H
inline constexpr int32_t kDlStatusItemCount = 2;

// Register items are single bytes, so only they can be read in bulk.
inline constexpr int32_t kMaxRegisterBytes = 64;

// Whether items first to first + count - 1 are all bytes of one register block.
inline constexpr bool IsRegisterRange(int32_t first, int32_t count) {
    const auto within = [&](int32_t block, int32_t size) {
        return first >= block && int64_t{first} + count <= int64_t{block} + size;
    };
    return count >= 1 && (within(kItemDlStatus, kDlStatusItemCount) ||
                          within(kItemRegister300H, kRegisterItemCount));
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
