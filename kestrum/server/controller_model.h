// What a controller knows, as the command language asks it: the simulated controller,
// or a gateway answering from a real bus. The language itself is read once, in
// command_language.cpp: it checks the arguments, prints the values and the errors, and
// keeps the value table.
#pragma once

#include <chrono>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kestrum/language/status_codes.h"

namespace kestrum::server {

using Clock = std::chrono::steady_clock;

// A command's answer: status 0 and the text it prints, or an error code and
// "Error CODE: what".
struct Outcome {
    int32_t status = 0;
    std::string text;
};

// Why a model gives no value: the controller's error code and the words after it.
struct Refusal {
    int32_t status = 0;
    std::string reason;
};

// Unsigned types too wide to read alike as signed and unsigned.
template <typename T>
concept WideUnsigned = std::unsigned_integral<T> && sizeof(T) >= sizeof(int32_t);

// A number the model gives, or its refusal.
class NodeValue {
  public:
    NodeValue(int64_t value) : value_(value) {}
    NodeValue(Refusal refusal) : refusal_(std::move(refusal)) {}
    // An unsigned ID says how it prints: as its 32-bit pattern (int32_t) or as its number
    // (int64_t).
    template <WideUnsigned T>
    NodeValue(T) = delete;

    bool ok() const { return !refusal_; }
    int64_t value() const { return value_; }
    // Only when !ok().
    const Refusal& refusal() const { return *refusal_; }

  private:
    int64_t value_ = 0;
    std::optional<Refusal> refusal_;
};

// Entries a table read may name.
inline constexpr std::size_t kTableSize = 4096;

// The controller's value table: single floats, as a controller keeps them, 0 until written.
class ValueTable {
  public:
    static bool Holds(int32_t index) {
        return index >= 0 && static_cast<std::size_t>(index) < kTableSize;
    }
    // index must be held.
    float At(int32_t index) const { return values_[static_cast<std::size_t>(index)]; }
    void Set(int32_t index, float value) { values_[static_cast<std::size_t>(index)] = value; }

  private:
    std::vector<float> values_ = std::vector<float>(kTableSize, 0.0f);
};

class ControllerModel {
  public:
    virtual ~ControllerModel() = default;

    // Called on one of the server's threads with the server's lock held. A node below
    // NodeCount, an item of kestrum/language/node_items.h: the language asks no other.
    virtual std::string Model() const = 0;
    virtual std::string VersionDate() const = 0;
    virtual std::string SerialNumber() const = 0;
    // The whole "?*ETHERCAT" text. Readers cut "Lostcount:" up to the report's second
    // full stop, so only its first line may hold one.
    virtual std::string Report(Clock::time_point now) = 0;
    // The nodes that answer now; commands about a node below it reach the model.
    virtual int32_t NodeCount(Clock::time_point now) = 0;
    // Identity IDs as their 32-bit pattern; register bytes as the register counts them.
    virtual NodeValue NodeItem(int32_t node, int32_t item, Clock::time_point now) = 0;
    virtual NodeValue AxisCount(int32_t node) = 0;
    virtual NodeValue IoBase(int32_t node) = 0;
    virtual NodeValue AioBase(int32_t node) = 0;
    // The object's value for "SDO_READ(0,node,index,subindex,type,tableIndex)"; the
    // language puts it into the table.
    virtual NodeValue SdoRead(int32_t node, int32_t index, int32_t subindex, int32_t type) = 0;

    // "?TABLE(i)" reads it, SDO_READ writes it; the simulator's @SIM TABLE too.
    ValueTable& table() { return table_; }
    const ValueTable& table() const { return table_; }

  private:
    ValueTable table_;
};

}  // namespace kestrum::server
