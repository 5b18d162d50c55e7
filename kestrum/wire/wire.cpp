#include "kestrum/wire/wire.h"

#include <algorithm>
#include <cstring>

namespace kestrum::wire {
namespace {

void PutHeader(std::string& out, const char magic[2], unsigned char b2, unsigned char b3,
               uint32_t w1, uint32_t w2, uint32_t w3) {
    unsigned char h[kHeaderSize];
    h[0] = static_cast<unsigned char>(magic[0]);
    h[1] = static_cast<unsigned char>(magic[1]);
    h[2] = b2;
    h[3] = b3;
    PutU32(h + 4, w1);
    PutU32(h + 8, w2);
    PutU32(h + 12, w3);
    out.append(reinterpret_cast<const char*>(h), kHeaderSize);
}

std::array<unsigned char, kDiscoverySize> Discovery(char m0, char m1, uint32_t nonce) {
    std::array<unsigned char, kDiscoverySize> d{};
    d[0] = static_cast<unsigned char>(m0);
    d[1] = static_cast<unsigned char>(m1);
    d[2] = kDiscoveryVersion;
    d[3] = 0;
    PutU32(d.data() + 4, nonce);
    return d;
}

std::optional<uint32_t> DecodeDiscovery(char m0, char m1, const unsigned char* data,
                                        std::size_t size) {
    if (size != kDiscoverySize || data[0] != static_cast<unsigned char>(m0) ||
        data[1] != static_cast<unsigned char>(m1) || data[2] != kDiscoveryVersion || data[3] != 0)
        return std::nullopt;
    return GetU32(data + 4);
}

}  // namespace

void PutU32(unsigned char* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t GetU32(const unsigned char* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

bool IsSendableCommand(std::string_view command) {
    return command.size() <= kMaxCommandLength &&
           command.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

std::string EncodeRequest(const Request& request) {
    std::string out;
    out.reserve(kHeaderSize + request.command.size());
    PutHeader(out, "KQ", static_cast<unsigned char>(request.kind), 0, request.seq,
              request.kind == Kind::kBuffered ? request.timeoutMs : 0,
              static_cast<uint32_t>(request.command.size()));
    out += request.command;
    return out;
}

std::string EncodeReply(const Reply& reply) {
    std::string out;
    out.reserve(kHeaderSize + reply.text.size());
    unsigned char zero = 0;
    PutHeader(out, "KR", zero, zero, reply.seq, static_cast<uint32_t>(reply.status),
              static_cast<uint32_t>(reply.text.size()));
    out += reply.text;
    return out;
}

std::optional<RequestHeader> DecodeRequestHeader(const unsigned char* h) {
    if (h[0] != 'K' || h[1] != 'Q' || (h[2] != 1 && h[2] != 2) || h[3] != 0) return std::nullopt;
    RequestHeader r{static_cast<Kind>(h[2]), GetU32(h + 4), GetU32(h + 8), GetU32(h + 12)};
    if (r.length > kMaxCommandLength) return std::nullopt;
    return r;
}

std::optional<ReplyHeader> DecodeReplyHeader(const unsigned char* h) {
    if (h[0] != 'K' || h[1] != 'R' || h[2] != 0 || h[3] != 0) return std::nullopt;
    ReplyHeader r{GetU32(h + 4), static_cast<int32_t>(GetU32(h + 8)), GetU32(h + 12)};
    if (r.length > kMaxReplyLength) return std::nullopt;
    return r;
}

template <typename Header>
typename Assembler<Header>::State Assembler<Header>::Feed(const unsigned char* data,
                                                          std::size_t size, std::size_t& consumed) {
    consumed = 0;
    if (malformed_) return State::kMalformed;
    if (complete_) {
        // The previous frame was handed out; start the next one.
        complete_ = false;
        header_.reset();
        headerFill_ = 0;
        payload_.clear();
    }
    if (size == 0) return State::kNeedMore;
    if (!header_) {
        std::size_t take = std::min(size, kHeaderSize - headerFill_);
        std::memcpy(headerBytes_.data() + headerFill_, data, take);
        headerFill_ += take;
        consumed += take;
        if (headerFill_ < kHeaderSize) return State::kNeedMore;
        header_ = decode_(headerBytes_.data());
        if (!header_ || (check_ && !check_(*header_))) {
            header_.reset();
            malformed_ = true;
            return State::kMalformed;
        }
        payload_.reserve(header_->length);
    }
    std::size_t want = header_->length - payload_.size();
    std::size_t take = std::min(size - consumed, want);
    payload_.append(reinterpret_cast<const char*>(data + consumed), take);
    consumed += take;
    if (payload_.size() < header_->length) return State::kNeedMore;
    complete_ = true;
    return State::kFrame;
}

template class Assembler<RequestHeader>;
template class Assembler<ReplyHeader>;

RequestAssembler MakeRequestAssembler() {
    return RequestAssembler(&DecodeRequestHeader, nullptr);
}

ReplyAssembler MakeReplyAssembler(std::function<bool(const ReplyHeader&)> check) {
    return ReplyAssembler(&DecodeReplyHeader, std::move(check));
}

std::array<unsigned char, kDiscoverySize> EncodeProbe(uint32_t nonce) {
    return Discovery('K', 'S', nonce);
}
std::array<unsigned char, kDiscoverySize> EncodeAnswer(uint32_t nonce) {
    return Discovery('K', 'A', nonce);
}
std::optional<uint32_t> DecodeProbe(const unsigned char* data, std::size_t size) {
    return DecodeDiscovery('K', 'S', data, size);
}
std::optional<uint32_t> DecodeAnswer(const unsigned char* data, std::size_t size) {
    return DecodeDiscovery('K', 'A', data, size);
}

}  // namespace kestrum::wire
