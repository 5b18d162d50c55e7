#include "nodes/lostcount.h"

#include <algorithm>

#include "controller/reply_scan.h"

namespace pelvane {
namespace {
constexpr std::string_view kLostcountKey = "Lostcount:";
}  // namespace

std::string CutLostcountText(std::string_view report) {
    const size_t start = report.find(kLostcountKey);
    const size_t firstStop = report.find('.');
    if (start == std::string_view::npos || firstStop == std::string_view::npos) return {};
    const size_t end = report.find('.', firstStop + 1);
    if (end == std::string_view::npos || end <= start) return {};
    return std::string(report.substr(start, end - start));
}

std::optional<int32_t> LostCountValue(std::string_view lostcountText) {
    const size_t key = lostcountText.find(kLostcountKey);
    if (key == std::string_view::npos) return std::nullopt;
    // The scan needs a terminated text; the view may be a piece of a longer one.
    const std::string digits(lostcountText.substr(key + kLostcountKey.size()));
    int32_t value = 0;
    if (!ScanInteger(digits.c_str(), &value)) return std::nullopt;
    return value;
}

int64_t LostCountRise(int32_t before, int32_t after) {
    const int64_t from = before;
    const int64_t to = after;
    return to >= from ? to - from : std::max<int64_t>(to, 0);
}

}  // namespace pelvane
