// Run only by segment_raw_test.sh, inside the network namespace it made: vgw0 exists
// nowhere else.
//   segment_probe            sends one broadcast read on vgw0 and prints the working
//                            counter and ADP of the reply
//   segment_probe watch N    listens for a second and prints how many of the second
//                            master's frames it saw, how many came back answered by the
//                            N-node line, and how many of those seen went to a unicast
//                            address
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ecat/frame.h"
#include "ecat/raw_link.h"

namespace ecat = kestrum::ecat;

namespace {

int Count(ecat::RawLink& link) {
    ecat::Frame frame;
    // With the processed bit 02H set: an ESC answers whatever the source address.
    frame.source = link.mac();
    frame.source[0] |= 0x02;
    ecat::Datagram& count = frame.datagrams.emplace_back();
    count.command = ecat::Command::kBrd;
    count.index = 0x5A;
    count.data.assign(2, 0);
    const auto request = ecat::EncodeFrame(frame);
    // The segment may still be opening its socket: ask again for a few seconds.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (!request || !link.Send(*request)) return 1;
        const auto reply = link.Receive(std::chrono::milliseconds(100));
        if (!reply) continue;
        const auto decoded = ecat::DecodeFrame(*reply, nullptr);
        if (!decoded || decoded->datagrams.size() != 1) continue;
        const ecat::Datagram& answer = decoded->datagrams.front();
        if (answer.index != count.index || answer.wkc == 0) continue;
        std::printf("%u %u\n", static_cast<unsigned>(answer.wkc),
                    static_cast<unsigned>(answer.adp));
        return 0;
    }
    std::fprintf(stderr, "segment_probe: no reply\n");
    return 1;
}

// The second master's frames leave the segment with the line's count in them; one that
// the segment had answered would carry twice that.
int Watch(ecat::RawLink& link, unsigned nodes) {
    unsigned seen = 0;
    unsigned answered = 0;
    unsigned unicast = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < end) {
        const auto frame = link.Receive(std::chrono::milliseconds(50));
        const auto decoded = frame ? ecat::DecodeFrame(*frame, nullptr) : std::nullopt;
        if (!decoded || decoded->datagrams.size() != 1) continue;
        const unsigned wkc = decoded->datagrams.front().wkc;
        seen += wkc == nodes ? 1 : 0;
        answered += wkc == 2 * nodes ? 1 : 0;
        unicast += wkc == nodes && (decoded->destination[0] & 0x01) == 0 ? 1 : 0;
    }
    std::printf("%u %u %u\n", seen, answered, unicast);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    auto link = ecat::RawLink::Open("vgw0", &error);
    if (!link) {
        std::fprintf(stderr, "segment_probe: %s\n", error.c_str());
        return 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "watch") == 0)
        return Watch(*link, static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
    return Count(*link);
}
