#include "kestrum_sim/bus.h"

#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "kestrum/language/dl_status.h"
#include "kestrum/server/integer_text.h"
#include "sim/src/bus_coe.h"

namespace kestrum::sim {
namespace {

using server::ParseInteger;

using nlohmann::json;

constexpr std::size_t kMaxNodes = 1024;
constexpr std::size_t kMaxWord = 127;  // clients keep identity words in 128-byte places

struct FieldName {
    const char* name;
    int32_t Node::*field;
};
constexpr FieldName kFields[] = {
    {"vendorId", &Node::vendorId},       {"deviceId", &Node::deviceId},
    {"switchNo", &Node::switchNo},       {"axisCount", &Node::axisCount},
    {"ioBase", &Node::ioBase},           {"inputCount", &Node::inputCount},
    {"outputCount", &Node::outputCount}, {"aioBase", &Node::aioBase},
    {"adCount", &Node::adCount},         {"daCount", &Node::daCount},
    {"statusWord", &Node::statusWord},   {"revision", &Node::revision},
    {"serial", &Node::serial},
};

// The error registers by the bus file's names: the first register's offset from 300H, and
// a count of 1 for a single value rather than an array.
using language::ErrorKind;
using language::ErrorRegisterOf;
using language::kEscPortCount;
struct CounterBlock {
    std::string_view name;
    int first;
    int count;
};
constexpr CounterBlock kCounterBlocks[] = {
    {"errorCounters", 0, language::kWindowRegisterCount},
    // The invalid frames and RX errors of ports 2 and 3.
    {"errorCounters23", ErrorRegisterOf(ErrorKind::kInvalidFrame, 2), 4},
    {"forwardedErrors", ErrorRegisterOf(ErrorKind::kForwarded, 0), kEscPortCount},
    {"puErrors", ErrorRegisterOf(ErrorKind::kProcessingUnit), 1},
    {"pdiErrors", ErrorRegisterOf(ErrorKind::kPdi), 1},
    {"lostLinks", ErrorRegisterOf(ErrorKind::kLostLink, 0), kEscPortCount},
};

// Thrown inside the loader only; the text becomes the reason given to the caller.
struct BadFile {
    std::string reason;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw BadFile{where + ": " + what};
}

// Bus files may write IDs as "0x41B", since JSON has no hexadecimal numbers.
int32_t ToInt32(const json& value, const std::string& where) {
    if (value.is_number_integer()) {
        if (value.is_number_unsigned()) {
            auto v = value.get<uint64_t>();
            if (v > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
                Fail(where, "out of range");
            return static_cast<int32_t>(v);
        }
        auto v = value.get<int64_t>();
        if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
            Fail(where, "out of range");
        return static_cast<int32_t>(v);
    }
    if (value.is_string()) {
        const auto& s = value.get_ref<const std::string&>();
        auto v = ParseInteger<int32_t>(s);
        if (!v) Fail(where, "not a number or out of range: " + s);
        return *v;
    }
    Fail(where, "expected an integer");
}

double ToRate(const json& value, const std::string& where) {
    if (!value.is_number()) Fail(where, "expected a number");
    double v = value.get<double>();
    if (!std::isfinite(v) || v < 0.0 || v > 1e6) Fail(where, "must be between 0 and 1000000");
    return v;
}

void ReadCounter(Node& node, int reg, const json& value, const std::string& where) {
    const int32_t v = ToInt32(value, where);
    if (!CounterTakes(reg, v)) Fail(where, "must be 0 to 255");
    node.counters[static_cast<std::size_t>(reg)] = v;
}

void ReadCounterBlock(Node& node, const CounterBlock& block, const json& value,
                      const std::string& where) {
    if (block.count == 1) {
        ReadCounter(node, block.first, value, where);
        return;
    }
    if (!value.is_array() || value.size() != static_cast<std::size_t>(block.count))
        Fail(where, "expected " + std::to_string(block.count) + " integers");
    for (int i = 0; i < block.count; ++i)
        ReadCounter(node, block.first + i, value[static_cast<std::size_t>(i)],
                    where + "[" + std::to_string(i) + "]");
}

const CounterBlock* FindCounterBlock(std::string_view name) {
    for (const auto& block : kCounterBlocks)
        if (name == block.name) return &block;
    return nullptr;
}

std::string ToWord(const json& value, const std::string& where) {
    if (!value.is_string()) Fail(where, "expected a string");
    const auto& s = value.get_ref<const std::string&>();
    if (s.empty() || s.size() > kMaxWord) Fail(where, "must be 1 to 127 characters");
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        // Clients take the first word of the reply, so a blank would cut it.
        if (u <= ' ' || u >= 0x7F) Fail(where, "must be one word of printable characters");
    }
    return s;
}

// Segment fields are checked in their text form, the one "@SIM SET" gives them in.
void ReadSegmentField(Node& node, const std::string& name, const json& value,
                      const std::string& where) {
    std::string text;
    if (value.is_boolean())
        text = value.get<bool>() ? "true" : "false";
    else if (value.is_number())
        text = value.dump();
    else if (value.is_string())
        text = value.get<std::string>();
    else
        Fail(where, "expected a number, a string or true/false");
    std::string reason;
    if (!SetSegmentField(node, name, text, &reason)) Fail(where, reason);
}

void ReadEsc(Node& node, const json& j, const std::string& where) {
    if (!j.is_object()) Fail(where, "expected an object");
    for (const auto& [key, value] : j.items()) {
        const std::string name = "esc." + key;
        if (!IsSegmentField(name)) Fail(where + "." + key, "unknown key");
        ReadSegmentField(node, name, value, where + "." + key);
    }
}

// {"node": n, "port": 2..4}: the port as our texts name it, the slave controller's 1..3.
Upstream ReadUpstream(const json& j, const std::string& where) {
    if (!j.is_object() || j.size() != 2 || !j.contains("node") || !j.contains("port"))
        Fail(where, "expected {\"node\": n, \"port\": 2 to 4}");
    const int32_t port = ToInt32(j["port"], where + ".port");
    if (port < 2 || port > 4) Fail(where + ".port", "must be 2 to 4: port 1 faces the master");
    return Upstream{ToInt32(j["node"], where + ".node"), port - 1};
}

// A frame visits the ports of a node in the order 0, 3, 1, 2, so a node's place in the
// bus is where such a walk reaches it; a file that lists the nodes otherwise is refused.
void CheckTree(const std::vector<Node>& nodes) {
    if (!nodes.empty() && nodes[0].upstream) Fail("nodes[0].upstream", "node 0 faces the master");
    std::vector<std::array<bool, 4>> taken(nodes.size());
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const Upstream up = UpstreamOf(nodes, i);
        const std::string at = "nodes[" + std::to_string(i) + "].upstream";
        if (up.node < 0 || static_cast<std::size_t>(up.node) >= i)
            Fail(at, "must name a node before this one");
        auto& port = taken[static_cast<std::size_t>(up.node)][static_cast<std::size_t>(up.escPort)];
        if (port) Fail(at, "another node hangs on that port");
        port = true;
    }
    std::vector<Upstream> open;  // ports with a node behind them, the next one last
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (i > 0) {
            const Upstream up = UpstreamOf(nodes, i);
            if (open.empty() || open.back().node != up.node || open.back().escPort != up.escPort)
                Fail("nodes[" + std::to_string(i) + "].upstream",
                     "a frame reaches this node out of turn: list the nodes in the order a "
                     "frame visits them (ports 4, 2, 3 of each node in turn)");
            open.pop_back();
        }
        // Pushed last to first, so that they come off in the order a frame takes them.
        const auto& order = kestrum::language::kPortLeaveOrder;
        for (auto escPort = order.rbegin(); escPort != order.rend(); ++escPort)
            if (taken[i][static_cast<std::size_t>(*escPort)])
                open.push_back({static_cast<int32_t>(i), *escPort});
    }
}

Node ReadNode(const json& j, const std::string& where) {
    if (!j.is_object()) Fail(where, "expected an object");
    Node node;
    for (const auto& [key, value] : j.items()) {
        std::string at = where + "." + key;
        if (key == "name" || key == "comment") {
            if (!value.is_string()) Fail(at, "expected a string");
        } else if (key == "counterRate") {
            if (!value.is_array() || value.size() != 2) Fail(at, "expected 2 numbers");
            for (std::size_t i = 0; i < 2; ++i)
                node.counterRate[i] = ToRate(value[i], at + "[" + std::to_string(i) + "]");
        } else if (const CounterBlock* block = FindCounterBlock(key)) {
            ReadCounterBlock(node, *block, value, at);
        } else if (key == "esc") {
            ReadEsc(node, value, at);
        } else if (key == "upstream") {
            node.upstream = ReadUpstream(value, at);
        } else if (IsMailboxKey(key)) {
            continue;  // read together below, since they depend on each other
        } else if (IsSegmentField(key) && !key.starts_with("esc.")) {
            ReadSegmentField(node, key, value, at);
        } else if (int32_t* field = NodeField(node, key)) {
            *field = ToInt32(value, at);
            node.revisionGiven |= field == &node.revision;
        } else if (const auto reg = NodeCounter(key);
                   reg && *reg < language::kWindowRegisterCount) {
            // The window's four also one by one, by their "@SIM SET" names.
            ReadCounter(node, *reg, value, at);
        } else {
            Fail(at, "unknown key");
        }
    }
    for (int32_t Node::*count : {&Node::axisCount, &Node::inputCount, &Node::outputCount,
                                 &Node::adCount, &Node::daCount}) {
        if (node.*count < 0 || node.*count > 65535) Fail(where, "counts must be 0 to 65535");
    }
    if (auto bad = ReadNodeMailbox(j, where, node)) throw BadFile{*bad};
    return node;
}

Bus ReadBus(const json& j) {
    if (!j.is_object()) Fail("bus", "expected an object");
    Bus bus;
    bool haveNodes = false;
    for (const auto& [key, value] : j.items()) {
        if (key == "comment") continue;
        if (key == "controller") {
            if (!value.is_object()) Fail(key, "expected an object");
            for (const auto& [k, v] : value.items()) {
                std::string at = "controller." + k;
                if (k == "model")
                    bus.model = ToWord(v, at);
                else if (k == "versionDate")
                    bus.versionDate = ToWord(v, at);
                else if (k == "serialNumber")
                    bus.serialNumber = ToWord(v, at);
                else
                    Fail(at, "unknown key");
            }
        } else if (key == "lostCount") {
            bus.lostCount = ToInt32(value, key);
        } else if (key == "lostRate") {
            bus.lostRate = ToRate(value, key);
        } else if (key == "latencyMs") {
            bus.latencyMs = ToInt32(value, key);
            if (bus.latencyMs < 0 || bus.latencyMs > 60000) Fail(key, "must be 0 to 60000");
        } else if (key == "nodes") {
            if (!value.is_array()) Fail(key, "expected an array");
            if (value.size() > kMaxNodes) Fail(key, "more than 1024 nodes");
            for (std::size_t i = 0; i < value.size(); ++i)
                bus.nodes.push_back(ReadNode(value[i], "nodes[" + std::to_string(i) + "]"));
            haveNodes = true;
        } else {
            Fail(key, "unknown key");
        }
    }
    if (!haveNodes) Fail("bus", "no \"nodes\" array");
    CheckTree(bus.nodes);
    return bus;
}

}  // namespace

int32_t* NodeField(Node& node, std::string_view name) {
    for (const auto& f : kFields)
        if (name == f.name) return &(node.*(f.field));
    return nullptr;
}

std::optional<int> NodeCounter(std::string_view name) {
    for (const auto& block : kCounterBlocks) {
        for (int i = 0; i < block.count; ++i) {
            const bool named =
                block.count == 1 ? name == block.name
                                 : name == std::string(block.name) + "[" + std::to_string(i) + "]";
            if (named) return block.first + i;
        }
    }
    // By address, "300H" to "313H"; the PDI error code is no counter.
    unsigned address = 0;
    if (name.size() != 4 || name.back() != 'H') return std::nullopt;
    auto [ptr, ec] = std::from_chars(name.data(), name.data() + 3, address, 16);
    if (ec != std::errc() || ptr != name.data() + 3 || address < language::kErrorRegisterBase)
        return std::nullopt;
    const auto reg = static_cast<int>(address - language::kErrorRegisterBase);
    if (!language::IsErrorCounter(reg)) return std::nullopt;
    return reg;
}

std::optional<Bus> ParseBus(const std::string& text, std::string* error) {
    try {
        return ReadBus(json::parse(text));
    } catch (const json::exception& e) {
        if (error) *error = std::string("not valid JSON: ") + e.what();
        return std::nullopt;
    } catch (const BadFile& bad) {
        if (error) *error = bad.reason;
        return std::nullopt;
    }
}

std::optional<Bus> LoadBusFile(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot open " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string reason;
    auto bus = ParseBus(text.str(), &reason);
    if (!bus && error) *error = path + ": " + reason;
    return bus;
}

}  // namespace kestrum::sim
