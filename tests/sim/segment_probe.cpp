// Sends one broadcast read on vgw0 and prints the working counter of the reply. Run only
// by segment_raw_test.sh, inside the network namespace it made: vgw0 exists nowhere else.
#include <chrono>
#include <cstdio>
#include <string>

#include "frame.h"
#include "raw_link.h"

namespace ecat = pelvane::ecat;

int main() {
    std::string error;
    auto link = ecat::RawLink::Open("vgw0", &error);
    if (!link) {
        std::fprintf(stderr, "segment_probe: %s\n", error.c_str());
        return 1;
    }
    ecat::Frame frame;
    // Bit 02H marks a frame as processed: the segment answers only sources without it.
    frame.source = link->mac();
    frame.source[0] &= 0xFC;
    ecat::Datagram& count = frame.datagrams.emplace_back();
    count.command = ecat::Command::kBrd;
    count.index = 0x5A;
    count.data.assign(2, 0);
    const auto request = ecat::EncodeFrame(frame);
    // The segment may still be opening its socket: ask again for a few seconds.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (!request || !link->Send(*request)) return 1;
        const auto reply = link->Receive(std::chrono::milliseconds(100));
        if (!reply) continue;
        const auto decoded = ecat::DecodeFrame(*reply, &error);
        if (!decoded || decoded->datagrams.size() != 1) continue;
        const ecat::Datagram& answer = decoded->datagrams.front();
        if (answer.index != count.index || (decoded->source[0] & 0x02) == 0) continue;
        std::printf("%u %u\n", static_cast<unsigned>(answer.wkc),
                    static_cast<unsigned>(answer.adp));
        return 0;
    }
    std::fprintf(stderr, "segment_probe: no reply\n");
    return 1;
}
