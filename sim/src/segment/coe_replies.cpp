#include "sim/src/segment/coe_replies.h"

#include <algorithm>

#include "ecat/frame.h"

namespace kestrum::sim {
namespace {

namespace ecat = pelvane::ecat;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kTypeError = 0;
constexpr uint8_t kTypeCoe = 3;
constexpr uint16_t kServiceEmergency = 1;
constexpr uint16_t kServiceSdoRequest = 2;
constexpr uint16_t kServiceSdoResponse = 3;
constexpr std::size_t kCoeHeaderBytes = 2;
constexpr std::size_t kSdoBytes = 8;  // command, index, subindex, 4 data bytes
// Everything before a normal response's data: headers, command, index, subindex, size.
constexpr std::size_t kNormalOverhead = kMailboxHeaderBytes + kCoeHeaderBytes + kSdoBytes;

constexpr uint8_t kUploadRequest = 0x40;
constexpr uint8_t kExpedited = 0x43;  // with the empty bytes in bits 2-3
constexpr uint8_t kNormal = 0x41;
constexpr uint8_t kAbort = 0x80;

constexpr uint16_t kErrorInvalidSize = 0x0008;
constexpr uint16_t kErrorUnsupportedProtocol = 0x0002;
constexpr uint16_t kErrorSizeTooShort = 0x0006;
constexpr uint16_t kErrorServiceNotSupported = 0x0004;
constexpr uint32_t kAbortUnknownCommand = 0x05040001;
constexpr uint32_t kAbortNoObject = 0x06020000;
constexpr uint32_t kAbortNoSubindex = 0x06090011;

Bytes Message(uint8_t type, std::size_t dataBytes) {
    Bytes message(kMailboxHeaderBytes + dataBytes, 0);
    ecat::PutLe16(message, 0, static_cast<uint16_t>(dataBytes));
    message[kMailboxCounterByte] = type;
    return message;
}

Bytes Coe(uint16_t service, std::size_t bytes) {
    Bytes message = Message(kTypeCoe, kCoeHeaderBytes + bytes);
    ecat::PutLe16(message, kMailboxHeaderBytes, static_cast<uint16_t>(service << 12));
    return message;
}

Bytes Sdo(uint16_t service, uint8_t command, uint16_t index, uint8_t subindex,
          std::size_t extra = 0) {
    Bytes message = Coe(service, kSdoBytes + extra);
    message[8] = command;
    ecat::PutLe16(message, 9, index);
    message[11] = subindex;
    return message;
}

Bytes MailboxError(uint16_t detail) {
    Bytes message = Message(kTypeError, 4);
    ecat::PutLe16(message, kMailboxHeaderBytes, 0x0001);
    ecat::PutLe16(message, kMailboxHeaderBytes + 2, detail);
    return message;
}

Bytes Abort(uint16_t index, uint8_t subindex, uint32_t code) {
    Bytes message = Sdo(kServiceSdoRequest, kAbort, index, subindex);
    ecat::PutLe32(message, 12, code);
    return message;
}

Bytes Expedited(uint16_t index, uint8_t subindex, uint8_t bytes, uint32_t value) {
    const auto empty = static_cast<uint8_t>((4 - bytes) << 2);
    Bytes message = Sdo(kServiceSdoResponse, kExpedited | empty, index, subindex);
    ecat::PutLe32(message, 12, value);
    return message;
}

// All of the text when it fits SM1; else the start of a segmented upload, with the full size.
Bytes Normal(uint16_t index, uint8_t subindex, const std::string& text, std::size_t sendLength) {
    const std::size_t room = sendLength > kNormalOverhead ? sendLength - kNormalOverhead : 0;
    const std::size_t n = std::min(text.size(), room);
    Bytes message = Sdo(kServiceSdoResponse, kNormal, index, subindex, n);
    ecat::PutLe32(message, 12, static_cast<uint32_t>(text.size()));
    std::copy_n(text.begin(), n, message.begin() + kNormalOverhead);
    return message;
}

Bytes Upload(uint16_t index, uint8_t subindex, const CoeMailbox& box, uint16_t statusWord,
             std::size_t sendLength) {
    bool indexKnown = false;
    for (const CoeObject& object : box.objects) {
        if (object.index != index) continue;
        indexKnown = true;
        if (object.subindex != subindex) continue;
        if (!object.text.empty()) return Normal(index, subindex, object.text, sendLength);
        return Expedited(index, subindex, object.bytes,
                         object.liveStatusWord ? statusWord : object.value);
    }
    return Abort(index, subindex, indexKnown ? kAbortNoSubindex : kAbortNoObject);
}

}  // namespace

std::optional<Bytes> CoeReply(std::span<const uint8_t> request, const CoeMailbox& box,
                              uint16_t statusWord, std::size_t sendLength) {
    if (request.size() < kMailboxHeaderBytes) return MailboxError(kErrorSizeTooShort);
    const std::size_t length = ecat::Le16(request, 0);
    if (length > request.size() - kMailboxHeaderBytes) return MailboxError(kErrorInvalidSize);
    if ((request[kMailboxCounterByte] & 0x0F) != kTypeCoe)
        return MailboxError(kErrorUnsupportedProtocol);
    if (length < kCoeHeaderBytes) return MailboxError(kErrorSizeTooShort);
    if (ecat::Le16(request, kMailboxHeaderBytes) >> 12 != kServiceSdoRequest)
        return MailboxError(kErrorServiceNotSupported);
    if (length < kCoeHeaderBytes + kSdoBytes) return MailboxError(kErrorSizeTooShort);
    const uint8_t command = request[8];
    const uint16_t index = ecat::Le16(request, 9);
    const uint8_t subindex = request[11];
    if (command == kAbort) return std::nullopt;  // the master gives up a transfer
    if (command != kUploadRequest) return Abort(index, subindex, kAbortUnknownCommand);
    return Upload(index, subindex, box, statusWord, sendLength);
}

Bytes CoeEmergency(uint16_t code) {
    // The error register's generic bit, and the class the code's first digit names.
    uint8_t reg = 0;
    if (code != 0) {
        reg = 0x01;
        switch (code >> 12) {
            case 0x2:
                reg |= 0x02;
                break;  // current
            case 0x3:
                reg |= 0x04;
                break;  // voltage
            case 0x4:
                reg |= 0x08;
                break;  // temperature
            case 0x8:
                reg |= 0x10;
                break;  // communication
            default:
                break;
        }
    }
    Bytes message = Coe(kServiceEmergency, kSdoBytes);
    ecat::PutLe16(message, 8, code);
    message[10] = reg;
    return message;
}

Bytes StaleUploadResponse() {
    // Device type 1000H:00 of a CiA 402 drive.
    return Expedited(0x1000, 0, 4, 0x00020192);
}

}  // namespace kestrum::sim
