// The simulator's side of a link without sockets: request bytes go to the request
// assembler in pieces the fuzzer chooses, and each frame to the server's responder, as a
// link's thread hands it over.
//
// Input: byte 0 bit 0 set runs commands a link would refuse (NUL, CR, LF) too, as
// LinkServer::Control takes any text; byte 1 is the number n of piece lengths (mod 16);
// the next n bytes are the piece lengths, used in turn; the rest is the request stream.
// A request's timeout field, which the simulator ignores, moves the clock on by that
// many ms (mod 65536) before its command runs, so that timed faults come and go.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/cut_stream.h"
#include "kestrum/server/responder.h"
#include "kestrum/wire/wire.h"
#include "kestrum_sim/bus.h"
#include "kestrum_sim/simulator.h"

namespace {

namespace wire = kestrum::wire;
using kestrum::server::Clock;
using kestrum::server::Intercepted;
using wire::RequestAssembler;

struct Frame {
    wire::RequestHeader header;
    std::string command;
};

struct Frames {
    std::vector<Frame> frames;
    bool malformed = false;
};

void Check(bool condition) {
    if (!condition) std::abort();
}

const kestrum::sim::Bus& DemoBus() {
    static const kestrum::sim::Bus bus = [] {
        auto loaded = kestrum::sim::LoadBusFile(KESTRUM_SIM_DEMO_BUS);
        Check(loaded.has_value());
        return *loaded;
    }();
    return bus;
}

// Feeds one piece as the link's thread does: frame after frame until all is taken.
void FeedPiece(RequestAssembler& assembler, const unsigned char* data, std::size_t size,
               Frames& out) {
    std::size_t offset = 0;
    do {
        std::size_t consumed = 0;
        auto state = assembler.Feed(data + offset, size - offset, consumed);
        Check(consumed <= size - offset);
        offset += consumed;
        if (state == RequestAssembler::State::kMalformed) {
            out.malformed = true;
            return;
        }
        if (state == RequestAssembler::State::kFrame) {
            const auto& h = assembler.header();
            Check(h.length <= wire::kMaxCommandLength);
            Check(assembler.payload().size() == h.length);
            out.frames.push_back({h, assembler.payload()});
        } else {
            Check(offset == size);  // asks for more only when it took everything
        }
        Check(assembler.payload().capacity() <= 2 * wire::kMaxCommandLength + 64);
    } while (offset < size);
}

bool Same(const Frames& a, const Frames& b) {
    if (a.malformed != b.malformed || a.frames.size() != b.frames.size()) return false;
    for (std::size_t i = 0; i < a.frames.size(); ++i) {
        const auto& x = a.frames[i];
        const auto& y = b.frames[i];
        if (x.header.kind != y.header.kind || x.header.seq != y.header.seq ||
            x.header.timeoutMs != y.header.timeoutMs || x.command != y.command)
            return false;
    }
    return true;
}

// A reply the link would send whole: a frame of the request's number (or of the number
// a wrong-sequence fault gives it), a controller's status and a text that ends its line.
void CheckReply(const kestrum::server::Delivery& reply, uint32_t seq, Clock::time_point now) {
    Check(reply.due >= now);
    // Cut and oversized replies are faults on purpose, and close the link.
    if (reply.closeAfter) return;
    Check(reply.bytes.size() >= wire::kHeaderSize);
    const auto* bytes = reinterpret_cast<const unsigned char*>(reply.bytes.data());
    const auto header = wire::DecodeReplyHeader(bytes);
    Check(header.has_value());
    Check(header->seq == seq || header->seq == seq + 0x10000);
    Check(wire::IsControllerStatus(header->status));
    const std::string_view text = std::string_view(reply.bytes).substr(wire::kHeaderSize);
    Check(text.size() == header->length);
    Check(text.empty() || text.ends_with("\r\n"));
}

// Serves the frames as a link's thread would, up to the first one that closes the link.
void Serve(const Frames& got, bool anyText) {
    Clock::time_point now{std::chrono::hours(1)};
    kestrum::sim::Simulator sim(DemoBus(), {}, {.seed = 1}, now);
    kestrum::server::Responder& responder = sim.responder();
    constexpr kestrum::server::LinkId kLink = 1;
    responder.Opened(kLink);
    for (const Frame& frame : got.frames) {
        if (!anyText && !wire::IsSendableCommand(frame.command)) break;
        now += std::chrono::milliseconds(frame.header.timeoutMs % 65536);
        const auto response = responder.Respond(kLink, frame.header, frame.command, now);
        if (response.drop == Intercepted::Drop::kSender) break;
        CheckReply(response.reply, frame.header.seq, now);
        if (response.reply.closeAfter) break;
    }
    responder.Closed(kLink);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::optional<CutStream> input = CutStream::Read(data, size);
    if (!input) return 0;
    const bool anyText = (input->flags & 1) != 0;
    const unsigned char* stream = input->stream;
    const std::size_t streamSize = input->size;

    Frames got;
    RequestAssembler assembler = wire::MakeRequestAssembler();
    std::size_t pos = 0;
    std::size_t turn = 0;
    while (pos < streamSize && !got.malformed) {
        std::size_t piece = input->PieceLength(turn++);
        if (piece == 0) piece = 1;
        if (piece > streamSize - pos) piece = streamSize - pos;
        FeedPiece(assembler, stream + pos, piece, got);
        pos += piece;
    }
    if (got.malformed) {
        // Broken for good: nothing more is taken.
        std::size_t consumed = 1;
        Check(assembler.Feed(stream, streamSize, consumed) == RequestAssembler::State::kMalformed);
        Check(consumed == 0);
    }

    // The pieces never change what comes out.
    Frames whole;
    RequestAssembler reference = wire::MakeRequestAssembler();
    if (streamSize > 0) FeedPiece(reference, stream, streamSize, whole);
    Check(Same(got, whole));

    Serve(got, anyText);
    return 0;
}
