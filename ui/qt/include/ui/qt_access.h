// The Qt side of the dialog layer: the widgets behind the common classes and the way
// from those classes to them. For this backend's sources and its own tests only; the
// program sees ui/dialog.h, ui/controls.h and ui/list_control.h.
#pragma once

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDialog>
#include <QTableView>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/list_control.h"

class QLineEdit;
class QMenu;
class QTabBar;

namespace pelvane::ui {

inline constexpr const char* kItemIdProperty = "pelvaneItemId";

// kIdNone for widgets that no template made.
int ItemIdOf(const QWidget* widget);
// Searches root's descendants at any depth, so a page's items can be found from the
// window that holds the page. The first one in creation order wins.
QWidget* FindItem(const QWidget* root, int id);

// Text of labels, buttons, edits, group boxes and the edit field of combo boxes.
void SetControlText(QWidget* control, const QString& text);
QString ControlText(const QWidget* control);

QRect ToQRect(const Rect& rect);
Rect FromQRect(const QRect& rect);

// Needs a QGuiApplication, for the font's metrics.
BaseUnits BaseUnitsForFont(const QFont& font);
// The font a template names. An alias such as "MS Shell Dlg" names no installed font
// here, so it becomes the desktop's sans-serif at the same size.
QFont TemplateFont(const char* family, int pointSize, int weight);
// The application's icon in every size it ships in: the PNG files that the program
// builds in under :/app-icon/, named by their size.
QIcon AppIcon();

// A tab strip whose pages are ordinary children placed by the owner, below the strip.
class QtTabControl : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kStripHeight = 25;

    explicit QtTabControl(QWidget* parent = nullptr);

    // Tabs drawn as buttons rather than as file-card tabs.
    void SetButtonStyle(bool on);
    void InsertItem(int index, const std::string& text);
    int ItemCount() const;
    std::string ItemText(int index) const;
    int CurSel() const;
    void SetCurSel(int index);
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

// An editable combo box whose list only code fills. Optionally sorted, and optionally
// refusing text wider than its field.
class QtComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit QtComboBox(QWidget* parent = nullptr);

    void SetSorted(bool sorted) { sorted_ = sorted; }
    // Without auto-scroll the typed text must fit the visible field.
    void SetAutoHScroll(bool on);
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

QColor ColorFromBgr(uint32_t bgr);
uint32_t BgrFromColor(const QColor& color);

class ListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int InsertColumn(int index, const QString& title, Qt::Alignment alignment);
    bool DeleteColumn(int index);
    int InsertRow(int index, const QString& text);
    bool DeleteRow(int index);
    void DeleteAllRows();
    bool SetText(int row, int column, const QString& text);
    QString Text(int row, int column) const;
    bool SetRowData(int row, intptr_t value);
    intptr_t RowData(int row) const;
    void SetRowColorHook(RowColorHook hook) { hook_ = std::move(hook); }

  private:
    struct Column {
        QString title;
        Qt::Alignment alignment;
    };
    struct Row {
        std::vector<QString> cells;  // one per column
        intptr_t data = 0;
    };

    bool RowColorsOf(int row, RowColors& colors) const;

    std::vector<Column> columns_;
    std::vector<Row> rows_;
    RowColorHook hook_;
};

// The report view; its calls are those of ListControl.
class QtListControl : public QTableView {
    Q_OBJECT
  public:
    explicit QtListControl(QWidget* parent = nullptr);

    int InsertColumn(int index, const std::string& title, Align alignment, int width);
    bool DeleteColumn(int index);
    int HeaderItemCount() const;
    int ColumnWidth(int index) const;
    int InsertItem(int index, const std::string& text);
    bool DeleteItem(int index);
    void DeleteAllItems();
    int ItemCount() const;
    bool SetItemText(int row, int column, const std::string& text);
    std::string ItemText(int row, int column) const;
    bool SetItemData(int row, intptr_t value);
    intptr_t ItemData(int row) const;
    void SetExtendedStyle(uint32_t style);
    uint32_t ExtendedStyle() const { return extendedStyle_; }
    void SetRowColorHook(RowColorHook hook) { model_->SetRowColorHook(std::move(hook)); }
    ListModel* listModel() const { return model_; }

  private:
    ListModel* model_;
    uint32_t extendedStyle_ = 0;
};

// From the common classes to their widgets.
QDialog& WidgetOf(const Dialog& dialog);
QtTabControl& WidgetOf(const TabControl& tabs);
QtComboBox& WidgetOf(const ComboBox& combo);
QtListControl& WidgetOf(const ListControl& list);
// The dialog that window is the window of; null for other widgets.
Dialog* DialogOf(QWidget* window);
// Null when the dialog has no item id.
QWidget* ItemWidget(const Dialog& dialog, int id);
template <class T>
T* ItemWidgetAs(const Dialog& dialog, int id) {
    return qobject_cast<T*>(ItemWidget(dialog, id));
}
// The window's menu entries that AddSystemMenuItem gave, as the background menu shows them.
void AddSystemMenuEntries(const Dialog& dialog, QMenu& menu);

}  // namespace pelvane::ui
