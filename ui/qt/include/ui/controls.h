// The controls that templates create beyond Qt's own widgets.
#pragma once

#include <QComboBox>
#include <QWidget>
#include <string>

#include "ui/geometry.h"
#include "ui/string_list.h"

class QLineEdit;
class QTabBar;

namespace pelvane::ui {

// A tab strip whose pages are ordinary children placed by the owner, below the strip.
// Changing the selection from code does not notify, only the user's choice does.
class TabControl : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kStripHeight = 25;

    explicit TabControl(QWidget* parent = nullptr);

    // Tabs drawn as buttons rather than as file-card tabs.
    void SetButtonStyle(bool on);
    void InsertItem(int index, const std::string& text);
    int ItemCount() const;
    std::string ItemText(int index) const;
    int CurSel() const;
    void SetCurSel(int index);
    // Where the pages go, in the control's own coordinates: below the strip.
    Rect PageArea() const;
    QTabBar* tabBar() const { return bar_; }

  signals:
    void selChange();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QTabBar* bar_;
    bool notify_ = true;
};

// An editable combo box whose list only code fills: the typed text is never added by the
// box itself. Optionally sorted, and optionally refusing text wider than its field.
class ComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit ComboBox(QWidget* parent = nullptr);

    void SetSorted(bool sorted) { sorted_ = sorted; }
    // Without auto-scroll the typed text must fit the visible field.
    void SetAutoHScroll(bool on);
    // Returns the entry's index.
    int AddString(const std::string& text);
    int FindStringPrefix(const std::string& prefix) const;
    StringList Entries() const;

    void showPopup() override;

  signals:
    // Before the list opens, every time, so its entries can still change.
    void dropDown();
    // Enter while the list is closed.
    void enterPressed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool sorted_ = false;
};

// Pixels of the edit field's width that typed text may fill.
int TextRoomOf(const QLineEdit& field);
// From now on typing that would make the text wider than the field is refused.
void LimitTextToField(QLineEdit* field);

}  // namespace pelvane::ui
