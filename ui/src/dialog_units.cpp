#include "ui/dialog_units.h"

#include <cstdint>
#include <cstdlib>

namespace pelvane::ui {

int MulDiv(int value, int numerator, int denominator) {
    if (denominator == 0) return 0;
    const int64_t product = int64_t{value} * numerator;
    const int64_t half = std::llabs(denominator) / 2;
    const bool negative = (product < 0) != (denominator < 0);
    const int64_t magnitude = (std::llabs(product) + half) / std::llabs(denominator);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

BaseUnits BaseUnitsFromMetrics(int sampleWidth, int charHeight) {
    return {(sampleWidth + 26) / 52, charHeight};
}

int DluToPixelsX(int dlu, BaseUnits units) {
    return MulDiv(dlu, units.x, 4);
}
int DluToPixelsY(int dlu, BaseUnits units) {
    return MulDiv(dlu, units.y, 8);
}

Rect DluToPixels(const Rect& dlu, BaseUnits units) {
    return {DluToPixelsX(dlu.x, units), DluToPixelsY(dlu.y, units), DluToPixelsX(dlu.width, units),
            DluToPixelsY(dlu.height, units)};
}

Size DluToPixels(const Size& dlu, BaseUnits units) {
    return {DluToPixelsX(dlu.width, units), DluToPixelsY(dlu.height, units)};
}

}  // namespace pelvane::ui
