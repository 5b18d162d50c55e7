// What the report-view list's owner hands it: column alignment, extended styles and the
// hook that picks a row's colours at paint time.
#pragma once

#include <cstdint>
#include <functional>

namespace pelvane::ui {

enum class Align { Left, Center, Right };

// Extended list styles; the values are those that callers store and compare.
inline constexpr uint32_t kListGridLines = 0x01;
inline constexpr uint32_t kListFullRowSelect = 0x20;

// 24-bit colours with red in the low byte and blue in the high one (0x0000FF is red).
struct RowColors {
    uint32_t text = 0x000000;
    uint32_t background = 0xFFFFFF;
};

// Asked while a row is painted. colors hold the defaults; return true to use what the
// hook left in them, false to paint the row as usual.
using RowColorHook = std::function<bool(int row, intptr_t itemData, RowColors& colors)>;

}  // namespace pelvane::ui
