// The tab control and the combo box, as handles on the windows a template made.
#pragma once

#include <string>

#include "ui/control.h"
#include "ui/geometry.h"
#include "ui/string_list.h"

namespace pelvane::ui {

// A tab strip whose pages are child dialogs placed by the owner, below the strip.
// Changing the selection from code does not notify, only the user's choice does.
class TabControl : public Control {
  public:
    static constexpr ItemKind kKind = ItemKind::Tab;

    explicit TabControl(Hwnd hwnd) : Control(hwnd, kKind) {}

    void InsertItem(int index, const std::string& text);
    int ItemCount() const;
    std::string ItemText(int index) const;
    int CurSel() const;
    void SetCurSel(int index);
    // Where the pages go, in the control's own coordinates: below the strip.
    Rect PageArea() const;
};

// An editable combo box whose list only code fills: the typed text is never added by the
// box itself. The order of a sorted list is ours, not the system's, so that it is the
// same on every system.
class ComboBox : public Control {
  public:
    static constexpr ItemKind kKind = ItemKind::ComboBox;

    explicit ComboBox(Hwnd hwnd) : Control(hwnd, kKind) {}

    void SetSorted(bool sorted) { sorted_ = sorted; }
    // Returns the entry's index.
    int AddString(const std::string& text);
    int FindStringPrefix(const std::string& prefix) const;
    StringList Entries() const;

  private:
    bool sorted_ = false;
};

}  // namespace pelvane::ui
