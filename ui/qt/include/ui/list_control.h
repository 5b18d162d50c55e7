// A report-view list: titled columns, rows of texts with one data value each, and row
// colours that the owner picks at paint time from that value.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/list_types.h"

namespace pelvane::ui {

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

class ListControl : public QTableView {
    Q_OBJECT
  public:
    explicit ListControl(QWidget* parent = nullptr);

    // Widths in pixels at 96 dots per inch, scaled to the screen's. Returns the new
    // column's index, -1 on failure.
    int InsertColumn(int index, const std::string& title, Align alignment, int width);
    bool DeleteColumn(int index);
    int HeaderItemCount() const;
    int ColumnWidth(int index) const;

    // Returns the new row's index (at most the row count), -1 on failure.
    int InsertItem(int index, const std::string& text);
    bool DeleteItem(int index);
    void DeleteAllItems();
    int ItemCount() const;
    bool SetItemText(int row, int column, const std::string& text);
    std::string ItemText(int row, int column) const;
    bool SetItemData(int row, intptr_t value);
    intptr_t ItemData(int row) const;

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
