// What the DL status bytes (items 272 and 273, register 0110H) say about a node's ports,
// and the order a frame leaves by them: for the servers that answer them and the clients
// that place nodes on the tree.
#pragma once

#include <array>
#include <cstdint>

namespace kestrum::language {

inline constexpr uint16_t kDlPdiOperational = 0x0001;  // the EEPROM's configuration loaded
constexpr uint16_t DlLink(int port) {
    return static_cast<uint16_t>(0x0010 << port);
}
// Set: the slave controller loops frames back at that port.
constexpr uint16_t DlLoopClosed(int port) {
    return static_cast<uint16_t>(0x0100 << (2 * port));
}
constexpr uint16_t DlCommunication(int port) {
    return static_cast<uint16_t>(0x0200 << (2 * port));
}
// Communication without a closed loop: where a frame leaves for a neighbour.
constexpr bool DlPortOpen(uint16_t dlStatus, int port) {
    return (dlStatus & (DlLoopClosed(port) | DlCommunication(port))) == DlCommunication(port);
}

// A frame enters by port 0 and leaves by the others in this order.
inline constexpr std::array<int, 3> kPortLeaveOrder = {3, 1, 2};

}  // namespace kestrum::language
