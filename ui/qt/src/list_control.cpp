#include "ui/list_control.h"

#include "ui/qt/src/dialog_window.h"

#include <QColor>
#include <QHeaderView>

namespace pelvane::ui {

QColor ColorFromBgr(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

uint32_t BgrFromColor(const QColor& color) {
    return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
           (static_cast<uint32_t>(color.blue()) << 16);
}

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

bool ListModel::RowColorsOf(int row, RowColors& colors) const {
    return hook_ && hook_(row, rows_[static_cast<size_t>(row)].data, colors);
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const auto row = static_cast<size_t>(index.row());
    const auto column = static_cast<size_t>(index.column());
    switch (role) {
        case Qt::DisplayRole:
            return rows_[row].cells[column];
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(columns_[column].alignment | Qt::AlignVCenter);
        case Qt::BackgroundRole:
        case Qt::ForegroundRole: {
            RowColors colors;
            if (!RowColorsOf(index.row(), colors)) return {};
            return ColorFromBgr(role == Qt::BackgroundRole ? colors.background : colors.text);
        }
        default:
            return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const auto& column = columns_[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole) return column.title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column.alignment | Qt::AlignVCenter);
    return {};
}

int ListModel::InsertColumn(int index, const QString& title, Qt::Alignment alignment) {
    if (index < 0) return -1;
    index = std::min(index, columnCount());
    beginInsertColumns({}, index, index);
    columns_.insert(columns_.begin() + index, Column{title, alignment});
    for (Row& row : rows_) row.cells.insert(row.cells.begin() + index, QString());
    endInsertColumns();
    return index;
}

bool ListModel::DeleteColumn(int index) {
    if (index < 0 || index >= columnCount()) return false;
    beginRemoveColumns({}, index, index);
    columns_.erase(columns_.begin() + index);
    for (Row& row : rows_) row.cells.erase(row.cells.begin() + index);
    endRemoveColumns();
    return true;
}

int ListModel::InsertRow(int index, const QString& text) {
    if (index < 0) return -1;
    index = std::min(index, rowCount());
    beginInsertRows({}, index, index);
    Row row;
    row.cells.resize(columns_.size());
    if (!row.cells.empty()) row.cells[0] = text;
    rows_.insert(rows_.begin() + index, std::move(row));
    endInsertRows();
    return index;
}

bool ListModel::DeleteRow(int index) {
    if (index < 0 || index >= rowCount()) return false;
    beginRemoveRows({}, index, index);
    rows_.erase(rows_.begin() + index);
    endRemoveRows();
    return true;
}

void ListModel::DeleteAllRows() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

bool ListModel::SetText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return false;
    rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)] = text;
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
    return true;
}

QString ListModel::Text(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return {};
    return rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)];
}

bool ListModel::SetRowData(int row, intptr_t value) {
    if (row < 0 || row >= rowCount()) return false;
    rows_[static_cast<size_t>(row)].data = value;
    // The colours come from the data, so the whole row may look different now.
    if (columnCount() > 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ForegroundRole});
    return true;
}

intptr_t ListModel::RowData(int row) const {
    if (row < 0 || row >= rowCount()) return 0;
    return rows_[static_cast<size_t>(row)].data;
}

QtListControl::QtListControl(QWidget* parent) : QTableView(parent), model_(new ListModel(this)) {
    setModel(model_);
    verticalHeader()->hide();
    // Fixed row heights keep rebuilding a few hundred rows cheap.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    SetExtendedStyle(0);
}

namespace {
Qt::Alignment QtAlignment(Align alignment) {
    switch (alignment) {
        case Align::Center:
            return Qt::AlignHCenter;
        case Align::Right:
            return Qt::AlignRight;
        case Align::Left:
            break;
    }
    return Qt::AlignLeft;
}
}  // namespace

int QtListControl::InsertColumn(int index, const std::string& title, Align alignment, int width) {
    const int at =
        model_->InsertColumn(index, QString::fromStdString(title), QtAlignment(alignment));
    if (at >= 0) horizontalHeader()->resizeSection(at, width);
    return at;
}

bool QtListControl::DeleteColumn(int index) {
    return model_->DeleteColumn(index);
}
int QtListControl::HeaderItemCount() const {
    return horizontalHeader()->count();
}
int QtListControl::ColumnWidth(int index) const {
    return horizontalHeader()->sectionSize(index);
}
int QtListControl::InsertItem(int index, const std::string& text) {
    return model_->InsertRow(index, QString::fromStdString(text));
}
bool QtListControl::DeleteItem(int index) {
    return model_->DeleteRow(index);
}
void QtListControl::DeleteAllItems() {
    model_->DeleteAllRows();
}
int QtListControl::ItemCount() const {
    return model_->rowCount();
}
bool QtListControl::SetItemText(int row, int column, const std::string& text) {
    return model_->SetText(row, column, QString::fromStdString(text));
}
std::string QtListControl::ItemText(int row, int column) const {
    return model_->Text(row, column).toStdString();
}
bool QtListControl::SetItemData(int row, intptr_t value) {
    return model_->SetRowData(row, value);
}
intptr_t QtListControl::ItemData(int row) const {
    return model_->RowData(row);
}

void QtListControl::SetExtendedStyle(uint32_t style) {
    extendedStyle_ = style;
    setShowGrid((style & kListGridLines) != 0);
    setSelectionBehavior((style & kListFullRowSelect) != 0 ? QAbstractItemView::SelectRows
                                                           : QAbstractItemView::SelectItems);
}

// The common list: everything goes to its widget.

QtListControl& WidgetOf(const ListControl& list) {
    return *list.native().widget;
}

ListControl::ListControl(std::unique_ptr<Native> native)
    : Control(kKind), native_(std::move(native)) {}
ListControl::~ListControl() = default;

int ListControl::InsertColumn(int index, const std::string& title, Align alignment, int width) {
    return native_->widget->InsertColumn(index, title, alignment, width);
}
bool ListControl::DeleteColumn(int index) {
    return native_->widget->DeleteColumn(index);
}
int ListControl::HeaderItemCount() const {
    return native_->widget->HeaderItemCount();
}
int ListControl::ColumnWidth(int index) const {
    return native_->widget->ColumnWidth(index);
}
int ListControl::InsertItem(int index, const std::string& text) {
    return native_->widget->InsertItem(index, text);
}
bool ListControl::DeleteItem(int index) {
    return native_->widget->DeleteItem(index);
}
void ListControl::DeleteAllItems() {
    native_->widget->DeleteAllItems();
}
int ListControl::ItemCount() const {
    return native_->widget->ItemCount();
}
bool ListControl::SetItemText(int row, int column, const std::string& text) {
    return native_->widget->SetItemText(row, column, text);
}
std::string ListControl::ItemText(int row, int column) const {
    return native_->widget->ItemText(row, column);
}
bool ListControl::SetItemData(int row, intptr_t value) {
    return native_->widget->SetItemData(row, value);
}
intptr_t ListControl::ItemData(int row) const {
    return native_->widget->ItemData(row);
}
void ListControl::SetExtendedStyle(uint32_t style) {
    native_->widget->SetExtendedStyle(style);
}
uint32_t ListControl::ExtendedStyle() const {
    return native_->widget->ExtendedStyle();
}
void ListControl::SetRowColorHook(RowColorHook hook) {
    native_->widget->SetRowColorHook(std::move(hook));
}

}  // namespace pelvane::ui
