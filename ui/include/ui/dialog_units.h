// Dialog units: control geometry written in the template font's own measure, so a
// dialog keeps its proportions whatever font the platform substitutes.
#pragma once

#include "ui/geometry.h"

namespace pelvane::ui {

// Pixels for 4 horizontal and 8 vertical dialog units.
struct BaseUnits {
    int x = 0;
    int y = 0;
    friend bool operator==(const BaseUnits&, const BaseUnits&) = default;
};

// Averaged over this text, so wide and narrow letters weigh as in running text.
inline constexpr const char* kBaseUnitSample =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// value * numerator / denominator, rounded half away from zero; 0 for a zero denominator.
int MulDiv(int value, int numerator, int denominator);

// sampleWidth is the advance of kBaseUnitSample, charHeight the font's line height.
BaseUnits BaseUnitsFromMetrics(int sampleWidth, int charHeight);

// Each edge value is converted on its own, so a size does not depend on where it sits.
int DluToPixelsX(int dlu, BaseUnits units);
int DluToPixelsY(int dlu, BaseUnits units);
Rect DluToPixels(const Rect& dlu, BaseUnits units);
Size DluToPixels(const Size& dlu, BaseUnits units);

}  // namespace pelvane::ui
