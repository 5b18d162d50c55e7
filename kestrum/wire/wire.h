// Frames of the controller link, shared by the client library and the server side.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrum::wire {

inline constexpr uint16_t kPort = 17180;
inline constexpr std::size_t kHeaderSize = 16;
// Where a reply header holds its sequence number and text length.
inline constexpr std::size_t kReplySeqOffset = 4;
inline constexpr std::size_t kReplyLengthOffset = 12;
inline constexpr uint32_t kMaxCommandLength = 2047;
inline constexpr uint32_t kMaxReplyLength = 65535;
inline constexpr std::size_t kDiscoverySize = 8;
inline constexpr uint8_t kDiscoveryVersion = 1;

// A reply's status: 0, or the controller's own error code.
inline constexpr bool IsControllerStatus(int32_t status) {
    return status >= 0 && status <= 9999;
}

enum class Kind : uint8_t { kBuffered = 1, kDirect = 2 };

struct Request {
    Kind kind = Kind::kBuffered;
    uint32_t seq = 0;
    uint32_t timeoutMs = 0;
    std::string command;
};

struct Reply {
    uint32_t seq = 0;
    int32_t status = 0;
    std::string text;
};

// A command may travel only if it fits and holds no NUL, CR or LF.
bool IsSendableCommand(std::string_view command);

// Both expect a valid frame (sendable command, text up to kMaxReplyLength).
std::string EncodeRequest(const Request& request);
std::string EncodeReply(const Reply& reply);

void PutU32(unsigned char* out, uint32_t value);
uint32_t GetU32(const unsigned char* in);

struct RequestHeader {
    Kind kind;
    uint32_t seq;
    uint32_t timeoutMs;
    uint32_t length;
};
struct ReplyHeader {
    uint32_t seq;
    int32_t status;
    uint32_t length;
};
// nullopt when the magic, kind, reserved byte or length is wrong.
std::optional<RequestHeader> DecodeRequestHeader(const unsigned char* header);
std::optional<ReplyHeader> DecodeReplyHeader(const unsigned char* header);

// Puts frames together from a byte stream cut at arbitrary points.
// The payload is allocated only after the header was accepted.
template <typename Header>
class Assembler {
  public:
    enum class State { kNeedMore, kFrame, kMalformed };
    using HeaderDecoder = std::optional<Header> (*)(const unsigned char*);
    // Called once per header, before any payload byte is stored; false rejects the frame.
    using HeaderCheck = std::function<bool(const Header&)>;

    Assembler(HeaderDecoder decode, HeaderCheck check)
        : decode_(decode), check_(std::move(check)) {}

    // Takes bytes from data; consumed tells how many. Stops after one whole frame.
    State Feed(const unsigned char* data, std::size_t size, std::size_t& consumed);
    // Valid after Feed returned kFrame, until the next Feed.
    const Header& header() const { return *header_; }
    std::string& payload() { return payload_; }
    bool malformed() const { return malformed_; }

  private:
    HeaderDecoder decode_;
    HeaderCheck check_;
    std::array<unsigned char, kHeaderSize> headerBytes_{};
    std::size_t headerFill_ = 0;
    std::optional<Header> header_;
    std::string payload_;
    bool complete_ = false;
    bool malformed_ = false;
};

using RequestAssembler = Assembler<RequestHeader>;
using ReplyAssembler = Assembler<ReplyHeader>;

RequestAssembler MakeRequestAssembler();
// check decides whether the reply's seq is one the caller is waiting for.
ReplyAssembler MakeReplyAssembler(std::function<bool(const ReplyHeader&)> check);

std::array<unsigned char, kDiscoverySize> EncodeProbe(uint32_t nonce);
std::array<unsigned char, kDiscoverySize> EncodeAnswer(uint32_t nonce);
std::optional<uint32_t> DecodeProbe(const unsigned char* data, std::size_t size);
std::optional<uint32_t> DecodeAnswer(const unsigned char* data, std::size_t size);

}  // namespace kestrum::wire
