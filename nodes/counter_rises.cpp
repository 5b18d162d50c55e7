#include "nodes/counter_rises.h"

#include <algorithm>

namespace pelvane {

CounterStep StepBetween(int32_t before, int32_t after) {
    // Values outside the register's range come only from a misreporting controller.
    const int32_t from = std::clamp(before, 0, kCounterSaturation);
    const int32_t to = std::clamp(after, 0, kCounterSaturation);
    CounterStep step;
    step.rise = to >= from ? to - from : to;
    step.atLeast = step.rise > 0 && to == kCounterSaturation;
    return step;
}

void CounterRises::Take(const ErrorCounterTable& table, int32_t nodeCount) {
    const int32_t count = std::clamp(nodeCount, 0, kNodeTableSize);
    for (int32_t node = 0; node < count; ++node)
        for (int k = 0; k < kCounterCount; ++k) Take(node, k, table[k][static_cast<size_t>(node)]);
}

void CounterRises::Take(int32_t node, int counter, std::optional<int32_t> reading) {
    RegisterRise& reg = registers_.at(static_cast<size_t>(node)).at(static_cast<size_t>(counter));
    if (!reading) {
        reg.last = {};
        return;
    }
    const int32_t value = *reading;
    reg.last = reg.seen ? StepBetween(reg.value, value) : CounterStep{};
    reg.total += reg.last.rise;
    reg.totalAtLeast = reg.totalAtLeast || reg.last.atLeast;
    reg.value = value;
    reg.seen = true;
}

}  // namespace pelvane
