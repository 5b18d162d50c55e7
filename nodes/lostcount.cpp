#include "lostcount.h"

namespace pelvane {

std::string CutLostcountText(std::string_view report) {
    const size_t start = report.find("Lostcount:");
    const size_t firstStop = report.find('.');
    if (start == std::string_view::npos || firstStop == std::string_view::npos) return {};
    const size_t end = report.find('.', firstStop + 1);
    if (end == std::string_view::npos || end <= start) return {};
    return std::string(report.substr(start, end - start));
}

}  // namespace pelvane
