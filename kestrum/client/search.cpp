#include "kestrum/client/search.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "kestrum.h"
#include "kestrum/client/net.h"
#include "kestrum/wire/wire.h"

namespace kestrum {
namespace {

uint32_t RandomNonce() {
    std::random_device device;
    return static_cast<uint32_t>(device());
}

// Adds the address to the blank-separated list in out, or nothing when it does not fit whole.
void Append(uint32_t address, char* out, uint32_t capacity, std::size_t& used) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24,
                                     address >> 16 & 0xFF, address >> 8 & 0xFF, address & 0xFF);
    if (length <= 0) return;
    const std::size_t needed = static_cast<std::size_t>(length) + (used > 0 ? 1 : 0);
    if (used + needed + 1 > capacity) return;
    if (used > 0) out[used++] = ' ';
    std::memcpy(out + used, text, static_cast<std::size_t>(length));
    used += static_cast<std::size_t>(length);
    out[used] = '\0';
}

}  // namespace

int32_t SearchControllers(char* out, uint32_t capacity, uint32_t searchMs) {
    out[0] = '\0';
    const net::Deadline deadline(searchMs);
    net::Socket socket = net::OpenBroadcastSocket();
    if (!socket.valid()) return KST_ERR_SYSTEM;

    const uint32_t nonce = RandomNonce();
    const auto probe = wire::EncodeProbe(nonce);
    // One unreachable network must not spoil the search on the others.
    for (const uint32_t target : net::BroadcastTargets(socket))
        socket.SendDatagram(target, wire::kPort, probe.data(), probe.size());

    constexpr int kMaxReceiveErrors = 16;
    int receiveErrors = 0;
    std::vector<uint32_t> seen;
    std::size_t used = 0;  // bytes written, without the terminator
    // Checked before every read, so a flood of answers cannot stretch the search.
    while (!deadline.Passed()) {
        unsigned char answer[wire::kDiscoverySize + 1];
        std::size_t size = 0;
        uint32_t from = 0;
        const net::Io result = socket.ReceiveDatagram(answer, sizeof answer, size, from);
        if (result == net::Io::kWouldBlock) {
            if (net::WaitFor(socket.get(), net::Direction::kRead, deadline) !=
                net::WaitResult::kReady)
                break;
            continue;
        }
        // A stray ICMP error is reported once; one that keeps coming ends the search.
        if (result != net::Io::kDone) {
            if (++receiveErrors > kMaxReceiveErrors) break;
            continue;
        }
        const auto answered = wire::DecodeAnswer(answer, size);
        if (!answered || *answered != nonce) continue;
        bool duplicate = false;
        for (const uint32_t s : seen) duplicate = duplicate || s == from;
        if (duplicate) continue;
        seen.push_back(from);
        Append(from, out, capacity, used);
    }
    return 0;
}

}  // namespace kestrum
