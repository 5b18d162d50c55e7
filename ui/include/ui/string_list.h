// The list rules of the combo box, as plain functions over its entries (UTF-8). Case is
// ignored for ASCII letters only, the same on every system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelvane::ui {

using StringList = std::vector<std::string>;

// Where text goes in entries kept in case-insensitive order: after its equals, so
// entries that compare equal keep the order they came in.
size_t SortedInsertPosition(const StringList& entries, std::string_view text);

// Index of the first entry that begins with prefix, ignoring case; -1 when none does.
int FindStringPrefix(const StringList& entries, std::string_view prefix);

}  // namespace pelvane::ui
