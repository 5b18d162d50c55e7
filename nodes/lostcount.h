// The lost-count line cut out of the controller's EtherCAT report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelvane {

// From the first "Lostcount:" up to, not including, the report's second "." (counted
// from the report's start); empty when either is missing or the "." comes first.
std::string CutLostcountText(std::string_view report);

// The number in a lost-count text such as "Lostcount:3", read as every controller
// number is; none when it holds none.
std::optional<int32_t> LostCountValue(std::string_view lostcountText);

// A lost count that falls was reset: the new value is what was counted since.
int64_t LostCountRise(int32_t before, int32_t after);

}  // namespace pelvane
