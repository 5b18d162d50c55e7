#include "ui/dialog_units.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>
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

QRect DluToPixels(const QRect& dlu, BaseUnits units) {
    return {DluToPixelsX(dlu.x(), units), DluToPixelsY(dlu.y(), units),
            DluToPixelsX(dlu.width(), units), DluToPixelsY(dlu.height(), units)};
}

QSize DluToPixels(const QSize& dlu, BaseUnits units) {
    return {DluToPixelsX(dlu.width(), units), DluToPixelsY(dlu.height(), units)};
}

BaseUnits BaseUnitsForFont(const QFont& font) {
    const QFontMetrics metrics(font);
    return BaseUnitsFromMetrics(metrics.horizontalAdvance(QString::fromLatin1(kBaseUnitSample)),
                                metrics.height());
}

QFont TemplateFont(const char* family, int pointSize, int weight) {
    const QString name = QString::fromUtf8(family);
    QFont font;
    if (name.isEmpty() || name == u"MS Shell Dlg" || name == u"MS Shell Dlg 2" ||
        !QFontDatabase::hasFamily(name)) {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setStyleHint(QFont::SansSerif);
    } else {
        font.setFamily(name);
    }
    font.setPointSize(pointSize);
    // Template weights run from 100 to 900 as Qt's do; 0 means the font's own.
    if (weight > 0) font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

}  // namespace pelvane::ui
