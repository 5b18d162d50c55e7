// Fuzz inputs that cut a byte stream into pieces at places the fuzzer picks. Byte 0 holds
// flags for the target, byte 1 how many piece lengths follow (its low four bits); the
// rest is the stream. Pieces take the lengths in turn; with none the stream is one piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

struct CutStream {
    uint8_t flags = 0;
    const uint8_t* lengths = nullptr;
    std::size_t pieces = 0;
    const unsigned char* stream = nullptr;
    std::size_t size = 0;

    static std::optional<CutStream> Read(const uint8_t* data, std::size_t size) {
        if (size < 2) return std::nullopt;
        CutStream input;
        input.flags = data[0];
        input.pieces = data[1] % 16;
        if (size - 2 < input.pieces) return std::nullopt;
        input.lengths = data + 2;
        input.stream = data + 2 + input.pieces;
        input.size = size - 2 - input.pieces;
        return input;
    }

    // The length the piece of this turn asks for; the caller cuts it to what is left.
    std::size_t PieceLength(std::size_t turn) const {
        return pieces == 0 ? size : lengths[turn % pieces];
    }
};
