// The list rules of the combo box, as plain functions over its entries.
#pragma once

#include <QStringList>
#include <QStringView>

namespace pelvane::ui {

// Where text goes in entries kept in case-insensitive order: after its equals, so
// entries that compare equal keep the order they came in.
qsizetype SortedInsertPosition(const QStringList& entries, QStringView text);

// Index of the first entry that begins with prefix, ignoring case; -1 when none does.
qsizetype FindStringPrefix(const QStringList& entries, QStringView prefix);

}  // namespace pelvane::ui
