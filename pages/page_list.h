// What the two node pages do alike with their lists.
#pragma once

#include <span>
#include <string>

#include "ui/list_control.h"

namespace pelvane {

struct ListColumn {
    const char* title;  // UTF-8
    int width;          // pixels at 96 dots per inch
};

// Empties the list, rows and columns, and gives it the columns anew, each centred, with
// grid lines and full-row selection as its only extended styles.
void ResetList(ui::ListControl& list, std::span<const ListColumn> columns);

// Appends a row of GBK cell texts.
void AppendRow(ui::ListControl& list, std::span<const std::string> cells);

}  // namespace pelvane
