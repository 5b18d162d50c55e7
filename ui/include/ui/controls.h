// The tab control and the combo box of a dialog. Each backend holds the system's own
// control behind Native; the dialog makes and owns them.
#pragma once

#include <memory>
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
    struct Native;

    explicit TabControl(std::unique_ptr<Native> native);
    ~TabControl() override;

    void InsertItem(int index, const std::string& text);
    int ItemCount() const;
    std::string ItemText(int index) const;
    int CurSel() const;
    void SetCurSel(int index);
    // Where the pages go, in the control's own coordinates: below the strip.
    Rect PageArea() const;

    Native& native() const { return *native_; }

  private:
    std::unique_ptr<Native> native_;
};

// An editable combo box whose list only code fills: the typed text is never added by the
// box itself. The order of a sorted list is ours, not the system's, so that it is the
// same on every system.
class ComboBox : public Control {
  public:
    static constexpr ItemKind kKind = ItemKind::ComboBox;
    struct Native;

    explicit ComboBox(std::unique_ptr<Native> native);
    ~ComboBox() override;

    // Returns the entry's index.
    int AddString(const std::string& text);
    int FindStringPrefix(const std::string& prefix) const;
    StringList Entries() const;

    Native& native() const { return *native_; }

  private:
    std::unique_ptr<Native> native_;
};

}  // namespace pelvane::ui
