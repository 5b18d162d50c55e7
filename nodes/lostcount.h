// The lost-count line cut out of the controller's EtherCAT report.
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

// From the first "Lostcount:" up to, not including, the report's second "." (counted
// from the report's start); empty when either is missing or the "." comes first.
std::string CutLostcountText(std::string_view report);

}  // namespace pelvane
