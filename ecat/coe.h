// Mailbox messages as the standard mailbox carries them, and the CoE SDO upload: what a
// master asks and what a node answers. What a node's mailbox holds is untrusted: parsing
// checks every length against the bytes read and the header's own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace kestrum::ecat {

inline constexpr std::size_t kMailboxHeaderBytes = 6;
inline constexpr std::size_t kCoeHeaderBytes = 2;
// CoE header, command, index, subindex and four bytes: the shortest SDO message.
inline constexpr std::size_t kSdoBytes = 10;
// An SDO's command byte: an upload asked (the response's top three bits too), a transfer
// aborted.
inline constexpr uint8_t kSdoCommandUpload = 0x40;
inline constexpr uint8_t kSdoCommandAbort = 0x80;

enum class MailboxType : uint8_t { kError = 0, kCoe = 3 };
enum class CoeService : uint8_t { kEmergency = 1, kSdoRequest = 2, kSdoResponse = 3 };

// A drive's status word (CiA 402), the first axis's; each further axis 800H on.
inline constexpr uint16_t kStatusWordObject = 0x6041;

// SDO abort codes a node gives most often.
inline constexpr uint32_t kAbortNoObject = 0x06020000;
inline constexpr uint32_t kAbortNoSubindex = 0x06090011;
inline constexpr uint32_t kAbortUnknownCommand = 0x05040001;
// Mailbox error details.
inline constexpr uint16_t kMailboxUnsupportedProtocol = 0x0002;
inline constexpr uint16_t kMailboxServiceNotSupported = 0x0004;
inline constexpr uint16_t kMailboxSizeTooShort = 0x0006;
inline constexpr uint16_t kMailboxInvalidSize = 0x0008;

struct MailboxHeader {
    uint16_t length = 0;  // of the data after the header
    uint16_t address = 0;
    uint8_t channel = 0;
    uint8_t type = 0;
    uint8_t counter = 0;  // 1..7; 0 is no counter
};

// The counter after counter: 1..7, never 0.
uint8_t NextMailboxCounter(uint8_t counter);

// Header and data: none when the bytes cannot hold the header or the length it gives.
std::optional<MailboxHeader> ReadMailboxHeader(std::span<const uint8_t> bytes);
// A message of type with data after its header.
std::vector<uint8_t> MailboxMessage(uint8_t type, uint8_t counter, std::span<const uint8_t> data);

struct SdoAddress {
    uint16_t index = 0;
    uint8_t subindex = 0;
    bool operator==(const SdoAddress&) const = default;
};

// "6041H:00".
std::string SdoObjectText(SdoAddress object);

// The master's SDO upload request (initiate, no complete access).
std::vector<uint8_t> SdoUploadRequest(SdoAddress object, uint8_t counter);
// The object a message asks to upload, when it is such a request.
std::optional<SdoAddress> ReadSdoUploadRequest(std::span<const uint8_t> message);

// What a node answers. A value came whole (expedited, or a normal response that fits);
// a segmented one is announced only, with its size.
struct SdoValue {
    SdoAddress object;
    std::vector<uint8_t> data;
};
struct SdoAbort {
    SdoAddress object;
    uint32_t code = 0;
};
struct SdoSegmented {
    SdoAddress object;
    uint32_t size = 0;
};
struct Emergency {
    uint16_t code = 0;
    uint8_t errorRegister = 0;
    std::array<uint8_t, 5> data{};
};
struct MailboxError {
    uint16_t detail = 0;
};
// Anything else: another protocol, another CoE service, or bytes that make no message.
struct OtherMessage {
    std::string what;
};
using MailboxReply =
    std::variant<SdoValue, SdoAbort, SdoSegmented, Emergency, MailboxError, OtherMessage>;

MailboxReply ReadMailboxReply(std::span<const uint8_t> message);
// The object a reply answers about, when it is an SDO reply.
std::optional<SdoAddress> AnsweredObject(const MailboxReply& reply);

// A node's answers, for the emulated segment: a value expedited when it has 1 to 4
// bytes, otherwise a normal response, cut to room (the node's SM1 length) and then only
// the start of a segmented transfer.
std::vector<uint8_t> SdoUploadResponse(SdoAddress object, std::span<const uint8_t> value,
                                       uint8_t counter, std::size_t room);
std::vector<uint8_t> SdoAbortMessage(SdoAddress object, uint32_t code, uint8_t counter);
std::vector<uint8_t> EmergencyMessage(const Emergency& emergency, uint8_t counter);
std::vector<uint8_t> MailboxErrorMessage(uint16_t detail, uint8_t counter);

// "SDO abort 06020000H (object does not exist)".
std::string SdoAbortText(uint32_t code);
// "mailbox error 0002H (unsupported protocol)".
std::string MailboxErrorText(uint16_t detail);
// "emergency 8611H reg 02H data 00 00 00 00 00".
std::string EmergencyText(const Emergency& emergency);

}  // namespace kestrum::ecat
