#include "ecat/coe.h"

#include <algorithm>
#include <cstdio>

#include "ecat/frame.h"

namespace kestrum::ecat {
namespace {

constexpr uint8_t kCounterMask = 0x07;
constexpr uint8_t kTypeMask = 0x0F;
constexpr uint8_t kCommandTopMask = 0xE0;
constexpr uint8_t kExpedited = 0x02;
constexpr uint8_t kSizeIndicated = 0x01;
constexpr std::size_t kExpeditedBytes = 4;
constexpr std::size_t kCommandAt = kCoeHeaderBytes;  // within the mailbox data
constexpr std::size_t kIndexAt = 3;
constexpr std::size_t kSubindexAt = 5;
constexpr std::size_t kPayloadAt = 6;
constexpr std::size_t kNormalDataAt = kSdoBytes;  // after the complete size

std::string Hex4(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*XH", digits, static_cast<unsigned>(value));
    return text;
}

std::vector<uint8_t> Coe(CoeService service, std::span<const uint8_t> rest, uint8_t counter) {
    std::vector<uint8_t> data(kCoeHeaderBytes, 0);
    PutLe16(data, 0, static_cast<uint16_t>(static_cast<uint16_t>(service) << 12));
    data.insert(data.end(), rest.begin(), rest.end());
    return MailboxMessage(static_cast<uint8_t>(MailboxType::kCoe), counter, data);
}

// Command byte, index, subindex and four bytes.
std::vector<uint8_t> Sdo(uint8_t command, SdoAddress object, uint32_t four) {
    std::vector<uint8_t> rest(8, 0);
    rest[0] = command;
    PutLe16(rest, 1, object.index);
    rest[3] = object.subindex;
    PutLe32(rest, 4, four);
    return rest;
}

SdoAddress ObjectAt(std::span<const uint8_t> data) {
    return {Le16(data, kIndexAt), data[kSubindexAt]};
}

MailboxReply SdoResponse(std::span<const uint8_t> data) {
    const uint8_t command = data[kCommandAt];
    const SdoAddress object = ObjectAt(data);
    if ((command & kCommandTopMask) != kSdoCommandUpload)
        return OtherMessage{"SDO response with command " + Hex4(command, 2)};
    if ((command & kExpedited) != 0) {
        const std::size_t unused = (command & kSizeIndicated) != 0 ? (command >> 2) & 0x03 : 0;
        const auto first = data.begin() + kPayloadAt;
        return SdoValue{object,
                        {first, first + static_cast<std::ptrdiff_t>(kExpeditedBytes - unused)}};
    }
    const std::size_t carried = data.size() - kNormalDataAt;
    const uint32_t size =
        (command & kSizeIndicated) != 0 ? Le32(data, kPayloadAt) : static_cast<uint32_t>(carried);
    if (size > carried) return SdoSegmented{object, size};
    const auto first = data.begin() + kNormalDataAt;
    return SdoValue{object, {first, first + size}};
}

MailboxReply CoeReply(std::span<const uint8_t> data) {
    if (data.size() < kCoeHeaderBytes) return OtherMessage{"CoE message without its header"};
    const auto service = static_cast<uint8_t>(Le16(data, 0) >> 12);
    if (service == static_cast<uint8_t>(CoeService::kEmergency)) {
        if (data.size() < 10) return OtherMessage{"emergency shorter than 8 bytes"};
        Emergency emergency{Le16(data, 2), data[4], {}};
        std::copy_n(data.begin() + 5, emergency.data.size(), emergency.data.begin());
        return emergency;
    }
    if (service != static_cast<uint8_t>(CoeService::kSdoRequest) &&
        service != static_cast<uint8_t>(CoeService::kSdoResponse))
        return OtherMessage{"CoE service " + std::to_string(service)};
    if (data.size() < kSdoBytes) return OtherMessage{"SDO message shorter than 10 bytes"};
    if (service == static_cast<uint8_t>(CoeService::kSdoResponse)) return SdoResponse(data);
    if (data[kCommandAt] == kSdoCommandAbort) return SdoAbort{ObjectAt(data), Le32(data, kPayloadAt)};
    return OtherMessage{"SDO request from the node"};
}

}  // namespace

uint8_t NextMailboxCounter(uint8_t counter) {
    return static_cast<uint8_t>(counter % 7 + 1);
}

std::optional<MailboxHeader> ReadMailboxHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < kMailboxHeaderBytes) return std::nullopt;
    MailboxHeader header;
    header.length = Le16(bytes, 0);
    header.address = Le16(bytes, 2);
    header.channel = static_cast<uint8_t>(bytes[4] & 0x3F);
    header.type = static_cast<uint8_t>(bytes[5] & kTypeMask);
    header.counter = static_cast<uint8_t>((bytes[5] >> 4) & kCounterMask);
    if (header.length > bytes.size() - kMailboxHeaderBytes) return std::nullopt;
    return header;
}

std::vector<uint8_t> MailboxMessage(uint8_t type, uint8_t counter, std::span<const uint8_t> data) {
    std::vector<uint8_t> message(kMailboxHeaderBytes, 0);
    PutLe16(message, 0, static_cast<uint16_t>(std::min<std::size_t>(data.size(), 0xFFFF)));
    message[5] = static_cast<uint8_t>((type & kTypeMask) | ((counter & kCounterMask) << 4));
    message.insert(message.end(), data.begin(), data.end());
    return message;
}

std::string SdoObjectText(SdoAddress object) {
    char text[16];
    std::snprintf(text, sizeof text, "%04XH:%02X", object.index, object.subindex);
    return text;
}

std::vector<uint8_t> SdoUploadRequest(SdoAddress object, uint8_t counter) {
    return Coe(CoeService::kSdoRequest, Sdo(kSdoCommandUpload, object, 0), counter);
}

std::optional<SdoAddress> ReadSdoUploadRequest(std::span<const uint8_t> message) {
    const auto header = ReadMailboxHeader(message);
    if (!header || header->type != static_cast<uint8_t>(MailboxType::kCoe) ||
        header->length < kSdoBytes)
        return std::nullopt;
    const auto data = message.subspan(kMailboxHeaderBytes, header->length);
    if ((Le16(data, 0) >> 12) != static_cast<uint16_t>(CoeService::kSdoRequest) ||
        data[kCommandAt] != kSdoCommandUpload)
        return std::nullopt;
    return ObjectAt(data);
}

MailboxReply ReadMailboxReply(std::span<const uint8_t> message) {
    const auto header = ReadMailboxHeader(message);
    if (!header) return OtherMessage{"a mailbox header whose length runs past the mailbox"};
    const auto data = message.subspan(kMailboxHeaderBytes, header->length);
    if (header->type == static_cast<uint8_t>(MailboxType::kError)) {
        if (data.size() < 4) return OtherMessage{"mailbox error shorter than 4 bytes"};
        return MailboxError{Le16(data, 2)};
    }
    if (header->type != static_cast<uint8_t>(MailboxType::kCoe))
        return OtherMessage{"mailbox type " + std::to_string(header->type)};
    return CoeReply(data);
}

std::optional<SdoAddress> AnsweredObject(const MailboxReply& reply) {
    if (const auto* value = std::get_if<SdoValue>(&reply)) return value->object;
    if (const auto* abort = std::get_if<SdoAbort>(&reply)) return abort->object;
    if (const auto* segmented = std::get_if<SdoSegmented>(&reply)) return segmented->object;
    return std::nullopt;
}

std::vector<uint8_t> SdoUploadResponse(SdoAddress object, std::span<const uint8_t> value,
                                       uint8_t counter, std::size_t room) {
    if (!value.empty() && value.size() <= kExpeditedBytes) {
        const auto unused = static_cast<uint8_t>(kExpeditedBytes - value.size());
        std::vector<uint8_t> rest =
            Sdo(static_cast<uint8_t>(kSdoCommandUpload | unused << 2 | kExpedited | kSizeIndicated),
                object, 0);
        std::copy(value.begin(), value.end(), rest.begin() + 4);
        return Coe(CoeService::kSdoResponse, rest, counter);
    }
    std::vector<uint8_t> rest =
        Sdo(kSdoCommandUpload | kSizeIndicated, object, static_cast<uint32_t>(value.size()));
    const std::size_t used = kMailboxHeaderBytes + kNormalDataAt;
    const std::size_t fits = room > used ? std::min(room - used, value.size()) : 0;
    rest.insert(rest.end(), value.begin(), value.begin() + static_cast<std::ptrdiff_t>(fits));
    return Coe(CoeService::kSdoResponse, rest, counter);
}

std::vector<uint8_t> SdoAbortMessage(SdoAddress object, uint32_t code, uint8_t counter) {
    return Coe(CoeService::kSdoRequest, Sdo(kSdoCommandAbort, object, code), counter);
}

std::vector<uint8_t> EmergencyMessage(const Emergency& emergency, uint8_t counter) {
    std::vector<uint8_t> rest(8, 0);
    PutLe16(rest, 0, emergency.code);
    rest[2] = emergency.errorRegister;
    std::copy(emergency.data.begin(), emergency.data.end(), rest.begin() + 3);
    return Coe(CoeService::kEmergency, rest, counter);
}

std::vector<uint8_t> MailboxErrorMessage(uint16_t detail, uint8_t counter) {
    std::vector<uint8_t> data(4, 0);
    PutLe16(data, 0, 0x0001);
    PutLe16(data, 2, detail);
    return MailboxMessage(static_cast<uint8_t>(MailboxType::kError), counter, data);
}

std::string SdoAbortText(uint32_t code) {
    static constexpr struct {
        uint32_t code;
        const char* text;
    } kKnown[] = {
        {0x05040000, "SDO protocol timed out"},
        {0x06010000, "unsupported access"},
        {0x06010001, "write-only object"},
        {kAbortNoObject, "object does not exist"},
        {kAbortNoSubindex, "subindex does not exist"},
        {0x08000000, "general error"},
        {0x08000022, "not possible in the present device state"},
    };
    std::string text = "SDO abort " + Hex4(code, 8);
    for (const auto& known : kKnown)
        if (known.code == code) return text + " (" + known.text + ")";
    return text;
}

std::string MailboxErrorText(uint16_t detail) {
    static constexpr std::array<const char*, 9> kDetails = {nullptr,
                                                            "syntax",
                                                            "unsupported protocol",
                                                            "invalid channel",
                                                            "service not supported",
                                                            "invalid header",
                                                            "size too short",
                                                            "no more memory",
                                                            "invalid size"};
    std::string text = "mailbox error " + Hex4(detail, 4);
    if (detail < kDetails.size() && kDetails[detail] != nullptr)
        text += std::string(" (") + kDetails[detail] + ")";
    return text;
}

std::string EmergencyText(const Emergency& emergency) {
    std::string text = "emergency " + Hex4(emergency.code, 4) + " reg " +
                       Hex4(emergency.errorRegister, 2) + " data";
    char byte[4];
    for (const uint8_t b : emergency.data) {
        std::snprintf(byte, sizeof byte, " %02X", b);
        text += byte;
    }
    return text;
}

}  // namespace kestrum::ecat
