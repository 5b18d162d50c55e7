// Arbitrary bytes as a frame from the segment. What decodes must encode, when it fits,
// to bytes that decode to the same frame.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "ecat/frame.h"

namespace {

using kestrum::ecat::Datagram;
using kestrum::ecat::Frame;

bool Same(const Datagram& a, const Datagram& b) {
    return a.command == b.command && a.index == b.index && a.adp == b.adp && a.ado == b.ado &&
           a.circulating == b.circulating && a.irq == b.irq && a.data == b.data && a.wkc == b.wkc;
}

bool Same(const Frame& a, const Frame& b) {
    if (a.destination != b.destination || a.source != b.source) return false;
    if (a.datagrams.size() != b.datagrams.size()) return false;
    for (std::size_t i = 0; i < a.datagrams.size(); ++i) {
        if (!Same(a.datagrams[i], b.datagrams[i])) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    std::string error;
    const auto frame = kestrum::ecat::DecodeFrame(bytes, &error);
    if (!frame) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    if (frame->datagrams.empty()) __builtin_trap();
    const auto encoded = kestrum::ecat::EncodeFrame(*frame);
    if (!encoded) {
        bool oversize = kestrum::ecat::FrameBytes(frame->datagrams) > kestrum::ecat::kMaxFrameBytes;
        for (const Datagram& d : frame->datagrams) {
            oversize = oversize || d.data.size() > kestrum::ecat::kMaxDatagramData;
        }
        if (!oversize) __builtin_trap();
        return 0;
    }
    const auto again = kestrum::ecat::DecodeFrame(*encoded, &error);
    if (!again || !Same(*frame, *again)) __builtin_trap();
    return 0;
}
