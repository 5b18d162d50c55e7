// Feeds controller reply bytes to the reply assembler in pieces the fuzzer
// chooses and checks that the pieces never change what comes out.
//
// Input: byte 0 selects the seq check (even: any seq, odd: 1, 2, 3, ... in
// order, as a link expects); byte 1 is the number n of piece lengths (mod 16);
// the next n bytes are the piece lengths, used in turn; the rest is the stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/cut_stream.h"
#include "kestrum/wire/wire.h"

namespace {

using kestrum::wire::ReplyAssembler;
using kestrum::wire::ReplyHeader;

struct Frame {
    uint32_t seq;
    int32_t status;
    std::string text;
};

struct Outcome {
    std::vector<Frame> frames;
    bool malformed = false;
    std::size_t headersChecked = 0;  // complete headers that got past magic and length
};

// Written from the frame layout, not from the assembler: the whole stream at once.
Outcome Reference(const unsigned char* data, std::size_t size, bool inOrder) {
    Outcome out;
    uint32_t expected = 1;
    std::size_t pos = 0;
    while (size - pos >= kestrum::wire::kHeaderSize) {
        const unsigned char* h = data + pos;
        uint32_t seq = kestrum::wire::GetU32(h + 4);
        uint32_t length = kestrum::wire::GetU32(h + 12);
        if (h[0] != 'K' || h[1] != 'R' || h[2] != 0 || h[3] != 0 || length > 65535) {
            out.malformed = true;
            return out;
        }
        ++out.headersChecked;
        if (inOrder && seq != expected) {
            out.malformed = true;
            return out;
        }
        if (size - pos - kestrum::wire::kHeaderSize < length) break;
        const char* text = reinterpret_cast<const char*>(h + kestrum::wire::kHeaderSize);
        out.frames.push_back(
            {seq, static_cast<int32_t>(kestrum::wire::GetU32(h + 8)), std::string(text, length)});
        pos += kestrum::wire::kHeaderSize + length;
        ++expected;
    }
    return out;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

// Feeds one piece, in as many calls as the assembler needs; false once it broke.
bool FeedPiece(ReplyAssembler& assembler, const unsigned char* piece, std::size_t size,
               Outcome& got, uint32_t& expected) {
    std::size_t offset = 0;
    do {
        std::size_t consumed = 0;
        auto state = assembler.Feed(piece + offset, size - offset, consumed);
        Check(consumed <= size - offset);
        offset += consumed;
        if (state == ReplyAssembler::State::kMalformed) {
            Check(assembler.malformed());
            return false;
        }
        if (state == ReplyAssembler::State::kFrame) {
            const ReplyHeader& h = assembler.header();
            Check(h.length <= kestrum::wire::kMaxReplyLength);
            Check(assembler.payload().size() == h.length);
            got.frames.push_back({h.seq, h.status, assembler.payload()});
            ++expected;
        } else {
            Check(offset == size);  // asks for more only when it took everything
        }
        // Memory stays bounded by the largest frame the protocol allows.
        Check(assembler.payload().capacity() <= 2 * kestrum::wire::kMaxReplyLength + 64);
    } while (offset < size);
    return true;
}

// The stream in the pieces the input chose.
Outcome FeedInPieces(const CutStream& input, ReplyAssembler& assembler, uint32_t& expected) {
    Outcome got;
    std::size_t pos = 0;
    std::size_t turn = 0;
    while (pos < input.size && !got.malformed) {
        std::size_t piece = input.PieceLength(turn++);
        if (piece == 0) {
            // An empty piece is legal and must change nothing; then go on by one byte.
            std::size_t consumed = 1;
            auto state = assembler.Feed(input.stream + pos, 0, consumed);
            Check(consumed == 0 && state == ReplyAssembler::State::kNeedMore);
            piece = 1;
        }
        piece = std::min(piece, input.size - pos);
        got.malformed = !FeedPiece(assembler, input.stream + pos, piece, got, expected);
        pos += piece;
    }
    if (got.malformed) {
        // Broken for good: nothing more is taken.
        std::size_t consumed = 1;
        Check(assembler.Feed(input.stream, input.size, consumed) ==
              ReplyAssembler::State::kMalformed);
        Check(consumed == 0);
    }
    return got;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::optional<CutStream> input = CutStream::Read(data, size);
    if (!input) return 0;
    const bool inOrder = (input->flags & 1) != 0;

    uint32_t expected = 1;
    std::size_t checks = 0;
    ReplyAssembler assembler = kestrum::wire::MakeReplyAssembler([&](const ReplyHeader& h) {
        ++checks;
        return !inOrder || h.seq == expected;
    });
    const Outcome got = FeedInPieces(*input, assembler, expected);

    const Outcome want = Reference(input->stream, input->size, inOrder);
    Check(got.malformed == want.malformed);
    Check(got.frames.size() == want.frames.size());
    for (std::size_t i = 0; i < want.frames.size(); ++i) {
        Check(got.frames[i].seq == want.frames[i].seq);
        Check(got.frames[i].status == want.frames[i].status);
        Check(got.frames[i].text == want.frames[i].text);
    }
    // One look at each header that was complete, no more.
    Check(checks == want.headersChecked);
    return 0;
}
