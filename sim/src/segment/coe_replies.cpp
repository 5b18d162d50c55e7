#include "sim/src/segment/coe_replies.h"

#include <algorithm>

#include "ecat/coe.h"
#include "ecat/frame.h"

namespace kestrum::sim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr auto kTypeCoe = static_cast<uint8_t>(ecat::MailboxType::kCoe);
constexpr auto kServiceSdoRequest = static_cast<uint16_t>(ecat::CoeService::kSdoRequest);

Bytes MailboxError(uint16_t detail) {
    return ecat::MailboxErrorMessage(detail, 0);
}

Bytes Upload(ecat::SdoAddress asked, const CoeMailbox& box, uint16_t statusWord,
             std::size_t sendLength) {
    bool indexKnown = false;
    for (const CoeObject& object : box.objects) {
        if (object.index != asked.index) continue;
        indexKnown = true;
        if (object.subindex != asked.subindex) continue;
        if (!object.text.empty()) {
            const Bytes text(object.text.begin(), object.text.end());
            return ecat::SdoUploadResponse(asked, text, 0, sendLength);
        }
        Bytes value(4, 0);
        ecat::PutLe32(value, 0, object.liveStatusWord ? statusWord : object.value);
        value.resize(object.liveStatusWord ? 2 : object.bytes);  // a status word is 16 bits
        return ecat::SdoUploadResponse(asked, value, 0, sendLength);
    }
    return ecat::SdoAbortMessage(asked, indexKnown ? ecat::kAbortNoSubindex : ecat::kAbortNoObject,
                                 0);
}

}  // namespace

std::optional<Bytes> CoeReply(std::span<const uint8_t> request, const CoeMailbox& box,
                              uint16_t statusWord, std::size_t sendLength) {
    if (request.size() < kMailboxHeaderBytes) return MailboxError(ecat::kMailboxSizeTooShort);
    const std::size_t length = ecat::Le16(request, 0);
    if (length > request.size() - kMailboxHeaderBytes) return MailboxError(ecat::kMailboxInvalidSize);
    if ((request[kMailboxCounterByte] & 0x0F) != kTypeCoe)
        return MailboxError(ecat::kMailboxUnsupportedProtocol);
    if (length < ecat::kCoeHeaderBytes) return MailboxError(ecat::kMailboxSizeTooShort);
    if (ecat::Le16(request, kMailboxHeaderBytes) >> 12 != kServiceSdoRequest)
        return MailboxError(ecat::kMailboxServiceNotSupported);
    if (length < ecat::kSdoBytes) return MailboxError(ecat::kMailboxSizeTooShort);
    const uint8_t command = request[8];
    const uint16_t index = ecat::Le16(request, 9);
    const uint8_t subindex = request[11];
    if (command == ecat::kSdoCommandAbort) return std::nullopt;  // the master gives up a transfer
    if (command != ecat::kSdoCommandUpload)
        return ecat::SdoAbortMessage({index, subindex}, ecat::kAbortUnknownCommand, 0);
    return Upload({index, subindex}, box, statusWord, sendLength);
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
    return ecat::EmergencyMessage({code, reg, {}}, 0);
}

Bytes StaleUploadResponse() {
    // Device type 1000H:00 of a CiA 402 drive.
    const Bytes deviceType = {0x92, 0x01, 0x02, 0x00};
    return ecat::SdoUploadResponse({0x1000, 0}, deviceType, 0, deviceType.size());
}

}  // namespace kestrum::sim
