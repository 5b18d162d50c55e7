#include "sim/src/bus_coe.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "kestrum/server/integer_text.h"

namespace kestrum::sim {
namespace {

using nlohmann::json;

constexpr std::size_t kMaxObjects = 64;
// A visible string this long already takes many segments through a 128-byte mailbox.
constexpr std::size_t kMaxText = 1024;
constexpr int64_t kMaxDelayMs = 10000;
// SM0 and SM1, 128 bytes each, inside the controller's 8 KiB of RAM from 1000H.
constexpr int64_t kFirstSm0 = 0x1000;
constexpr int64_t kLastSm0 = 0x2F00;

struct Bad {
    std::string reason;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw Bad{where + ": " + what};
}

int64_t Integer(const json& value, const std::string& where, int64_t min, int64_t max,
                const std::string& range) {
    std::optional<int64_t> v;
    if (value.is_number_unsigned()) {
        const auto u = value.get<uint64_t>();
        if (u <= static_cast<uint64_t>(max)) v = static_cast<int64_t>(u);
    } else if (value.is_number_integer()) {
        v = value.get<int64_t>();
    } else if (value.is_string()) {
        v = server::ParseInteger<int64_t>(value.get_ref<const std::string&>());
    }
    if (!v || *v < min || *v > max) Fail(where, range);
    return *v;
}

bool Flag(const json& value, const std::string& where) {
    if (!value.is_boolean()) Fail(where, "expected true or false");
    return value.get<bool>();
}

std::string Text(const json& value, const std::string& where) {
    if (!value.is_string()) Fail(where, "expected a string");
    const auto& s = value.get_ref<const std::string&>();
    if (s.empty() || s.size() > kMaxText) Fail(where, "must be 1 to 1024 characters");
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < ' ' || u >= 0x7F) Fail(where, "must be printable ASCII");
    }
    return s;
}

// A value fits its width as unsigned or as two's complement.
uint32_t Number(const json& value, int bytes, const std::string& where) {
    const int64_t top = (int64_t{1} << (8 * bytes)) - 1;
    const int64_t v = Integer(value, where, -(top + 1) / 2, top,
                              "must fit " + std::to_string(bytes) + " byte(s)");
    return static_cast<uint32_t>(static_cast<uint64_t>(v) & static_cast<uint64_t>(top));
}

CoeObject ReadObject(const json& j, const std::string& where) {
    if (!j.is_object()) Fail(where, "expected an object");
    for (const auto& [key, value] : j.items()) {
        if (key != "index" && key != "subindex" && key != "bytes" && key != "value" &&
            key != "text" && key != "comment")
            Fail(where + "." + key, "unknown key");
    }
    if (!j.contains("index") || !j.contains("subindex"))
        Fail(where, "needs \"index\" and \"subindex\"");
    CoeObject object;
    object.index = static_cast<uint16_t>(
        Integer(j["index"], where + ".index", 1, 0xFFFF, "must be 1 to 0xFFFF"));
    object.subindex = static_cast<uint8_t>(
        Integer(j["subindex"], where + ".subindex", 0, 0xFF, "must be 0 to 255"));
    if (j.contains("text")) {
        if (j.contains("value") || j.contains("bytes"))
            Fail(where, "a text takes no \"value\" or \"bytes\"");
        object.text = Text(j["text"], where + ".text");
        return object;
    }
    if (j.contains("bytes")) {
        const int64_t bytes = Integer(j["bytes"], where + ".bytes", 1, 4, "must be 1, 2 or 4");
        if (bytes == 3) Fail(where + ".bytes", "must be 1, 2 or 4");
        object.bytes = static_cast<uint8_t>(bytes);
    }
    const bool statusWord = object.index == kStatusWordObject && object.subindex == 0;
    if (j.contains("value")) {
        if (object.bytes == 0) Fail(where, "a value needs \"bytes\"");
        object.value = Number(j["value"], object.bytes, where + ".value");
    } else if (statusWord) {
        if (object.bytes != 0 && object.bytes != 2) Fail(where + ".bytes", "the status word is 2");
        object.bytes = 2;
        object.liveStatusWord = true;
    } else {
        Fail(where, "needs a \"value\" or a \"text\"");
    }
    return object;
}

std::vector<CoeObject> ReadObjects(const json& j, const std::string& where) {
    if (!j.is_array()) Fail(where, "expected an array");
    if (j.size() > kMaxObjects) Fail(where, "more than 64 objects");
    std::vector<CoeObject> objects;
    for (std::size_t i = 0; i < j.size(); ++i) {
        const std::string at = where + "[" + std::to_string(i) + "]";
        CoeObject object = ReadObject(j[i], at);
        const bool twice = std::any_of(objects.begin(), objects.end(), [&](const CoeObject& o) {
            return o.index == object.index && o.subindex == object.subindex;
        });
        if (twice) Fail(at, "the same index and subindex as an earlier object");
        objects.push_back(std::move(object));
    }
    return objects;
}

CoeMailbox ReadMailbox(const json& j, const std::string& where) {
    CoeMailbox box;
    box.objects = ReadObjects(j["coe"], where + ".coe");
    for (const auto& [key, value] : j.items()) {
        const std::string at = where + "." + key;
        if (key == "mailboxDelayMs")
            box.delayMs =
                static_cast<int32_t>(Integer(value, at, 0, kMaxDelayMs, "must be 0 to 10000 (ms)"));
        else if (key == "mailboxStale")
            box.stale = Flag(value, at);
        else if (key == "mailboxLastCounter")
            box.lastCounter = static_cast<int32_t>(Integer(value, at, 1, 7, "must be 1 to 7"));
        else if (key == "mailboxSm0")
            box.sm0Start = static_cast<uint16_t>(
                Integer(value, at, kFirstSm0, kLastSm0, "must be 0x1000 to 0x2F00"));
    }
    return box;
}

}  // namespace

bool IsMailboxKey(std::string_view key) {
    return key == "coe" || key == "mailboxDelayMs" || key == "mailboxStale" ||
           key == "mailboxLastCounter" || key == "mailboxSm0";
}

std::optional<std::string> ReadNodeMailbox(const json& j, const std::string& where, Node& node) {
    try {
        if (!j.contains("coe")) {
            for (const auto& [key, value] : j.items())
                if (IsMailboxKey(key)) Fail(where + "." + key, "only for a node with \"coe\"");
            return std::nullopt;
        }
        node.coe = std::make_shared<const CoeMailbox>(ReadMailbox(j, where));
        return std::nullopt;
    } catch (const Bad& bad) {
        return bad.reason;
    }
}

}  // namespace kestrum::sim
