// A report-view list: titled columns, rows of texts with one data value each, and row
// colours that the owner picks at paint time from that value.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <cstdint>
#include <functional>
#include <vector>

namespace pelvane::ui {

// Extended list styles; the values are those that callers store and compare.
inline constexpr uint32_t kListGridLines = 0x01;
inline constexpr uint32_t kListFullRowSelect = 0x20;

// 24-bit colours with red in the low byte and blue in the high one (0x0000FF is red).
QColor ColorFromBgr(uint32_t bgr);
uint32_t BgrFromColor(const QColor& color);

struct RowColors {
    uint32_t text = 0x000000;
    uint32_t background = 0xFFFFFF;
};

// Asked while a row is painted. colors hold the defaults; return true to use what the
// hook left in them, false to paint the row as usual.
using RowColorHook = std::function<bool(int row, qintptr itemData, RowColors& colors)>;

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
    bool SetRowData(int row, qintptr value);
    qintptr RowData(int row) const;
    void SetRowColorHook(RowColorHook hook) { hook_ = std::move(hook); }

  private:
    struct Column {
        QString title;
        Qt::Alignment alignment;
    };
    struct Row {
        std::vector<QString> cells;  // one per column
        qintptr data = 0;
    };

    bool RowColorsOf(int row, RowColors& colors) const;

    std::vector<Column> columns_;
    std::vector<Row> rows_;
    RowColorHook hook_;
};

class ListControl : public QTableView {
    Q_OBJECT
  public:
    explicit ListControl(QWidget* parent = nullptr);

    // Column widths in pixels. Returns the new column's index, -1 on failure.
    int InsertColumn(int index, const QString& title, Qt::Alignment alignment, int width);
    bool DeleteColumn(int index);
    int HeaderItemCount() const;
    int ColumnWidth(int index) const;

    // Returns the new row's index (at most the row count), -1 on failure.
    int InsertItem(int index, const QString& text);
    bool DeleteItem(int index);
    void DeleteAllItems();
    int ItemCount() const;
    bool SetItemText(int row, int column, const QString& text);
    QString ItemText(int row, int column) const;
    bool SetItemData(int row, qintptr value);
    qintptr ItemData(int row) const;

    // Replaces every extended style bit.
    void SetExtendedStyle(uint32_t style);
    uint32_t ExtendedStyle() const { return extendedStyle_; }

    void SetRowColorHook(RowColorHook hook) { model_->SetRowColorHook(std::move(hook)); }
    ListModel* listModel() const { return model_; }

  private:
    ListModel* model_;
    uint32_t extendedStyle_ = 0;
};

}  // namespace pelvane::ui
