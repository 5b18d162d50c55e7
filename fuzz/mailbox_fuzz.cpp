// Arbitrary bytes as a node's SM1: whatever they hold is read without reading past them,
// and a value read back is what a node that answers so would have sent.
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "ecat/coe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    namespace ecat = kestrum::ecat;
    const std::span<const uint8_t> bytes(data, size);
    const ecat::MailboxReply reply = ecat::ReadMailboxReply(bytes);
    (void)ecat::AnsweredObject(reply);
    const auto* value = std::get_if<ecat::SdoValue>(&reply);
    if (value == nullptr) return 0;
    if (value->data.size() > size) __builtin_trap();
    const auto again = ecat::ReadMailboxReply(
        ecat::SdoUploadResponse(value->object, value->data, 1, size + 64));
    const auto* same = std::get_if<ecat::SdoValue>(&again);
    if (!value->data.empty() &&
        (same == nullptr || same->data != value->data || !(same->object == value->object)))
        __builtin_trap();
    return 0;
}
