#include "ui/string_list.h"

#include <algorithm>

namespace pelvane::ui {

qsizetype SortedInsertPosition(const QStringList& entries, QStringView text) {
    const auto it = std::upper_bound(entries.begin(), entries.end(), text,
                                     [](QStringView value, const QString& entry) {
                                         return value.compare(entry, Qt::CaseInsensitive) < 0;
                                     });
    return it - entries.begin();
}

qsizetype FindStringPrefix(const QStringList& entries, QStringView prefix) {
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries[i].startsWith(prefix, Qt::CaseInsensitive)) return i;
    }
    return -1;
}

}  // namespace pelvane::ui
