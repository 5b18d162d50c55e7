#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>

#include "ui/qt/src/dialog_window.h"

namespace pelvane::ui {

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
