#include "ui/controls.h"

#include "ui/qt/src/dialog_window.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QResizeEvent>
#include <QStyle>
#include <QTabBar>
#include <QValidator>

namespace pelvane::ui {

QtTabControl::QtTabControl(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
    bar_->setFocusPolicy(Qt::NoFocus);
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
    bar_->setGeometry(0, 0, width(), kStripHeight);
    connect(bar_, &QTabBar::currentChanged, this, [this] {
        if (notify_) emit selChange();
    });
}

void QtTabControl::SetButtonStyle(bool on) {
    // The selected button stays pressed, and there is no pane frame.
    bar_->setStyleSheet(
        on ? "QTabBar::tab { border: 1px solid #9a9a9a; border-radius: 2px; padding: 3px 12px;"
             " margin: 2px 3px 0 0; background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
             " stop:0 #fbfbfb, stop:1 #e4e4e4); }"
             "QTabBar::tab:selected { background: #d2d2d2; border-color: #6f6f6f; }"
             "QTabBar::tab:hover:!selected { background: #f2f6fb; }"
           : "");
}

void QtTabControl::InsertItem(int index, const std::string& text) {
    notify_ = false;
    bar_->insertTab(index, QString::fromStdString(text));
    notify_ = true;
}

int QtTabControl::ItemCount() const {
    return bar_->count();
}
std::string QtTabControl::ItemText(int index) const {
    return bar_->tabText(index).toStdString();
}
int QtTabControl::CurSel() const {
    return bar_->currentIndex();
}

void QtTabControl::SetCurSel(int index) {
    notify_ = false;
    bar_->setCurrentIndex(index);
    notify_ = true;
}

Rect QtTabControl::PageArea() const {
    return {0, kStripHeight, width(), std::max(0, height() - kStripHeight)};
}

void QtTabControl::resizeEvent(QResizeEvent* event) {
    bar_->setGeometry(0, 0, event->size().width(), kStripHeight);
    QWidget::resizeEvent(event);
}

namespace {

// Refuses any text that would scroll the field.
class FitsFieldValidator : public QValidator {
  public:
    FitsFieldValidator(QLineEdit* field) : QValidator(field), field_(field) {}

    State validate(QString& input, int&) const override {
        return field_->fontMetrics().horizontalAdvance(input) <= TextRoomOf(*field_) ? Acceptable
                                                                                     : Invalid;
    }

  private:
    QLineEdit* field_;
};

}  // namespace

int TextRoomOf(const QLineEdit& field) {
    const QMargins margins = field.textMargins();
    const int frame =
        field.hasFrame() ? field.style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
    // QLineEdit keeps 2 pixels clear on each side, and one more for the cursor.
    return std::max(
        0, field.contentsRect().width() - margins.left() - margins.right() - 2 * frame - 5);
}

void LimitTextToField(QLineEdit* field) {
    field->setValidator(new FitsFieldValidator(field));
}

QtComboBox::QtComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Completion would type into the field on the user's behalf.
    setCompleter(nullptr);
}

void QtComboBox::SetAutoHScroll(bool on) {
    if (on) {
        setValidator(nullptr);
    } else {
        LimitTextToField(lineEdit());
    }
}

int QtComboBox::AddString(const std::string& text) {
    const int index = sorted_ ? static_cast<int>(SortedInsertPosition(Entries(), text)) : count();
    // Inserting into an empty list would select the entry and put it into the edit field.
    const bool wasEmpty = count() == 0;
    const QString typed = currentText();
    insertItem(index, QString::fromStdString(text));
    if (wasEmpty) setCurrentIndex(-1);
    if (isEditable() && currentText() != typed) setEditText(typed);
    return index;
}

int QtComboBox::FindStringPrefix(const std::string& prefix) const {
    return ui::FindStringPrefix(Entries(), prefix);
}

StringList QtComboBox::Entries() const {
    StringList entries;
    entries.reserve(static_cast<size_t>(count()));
    for (int i = 0; i < count(); ++i) entries.push_back(itemText(i).toStdString());
    return entries;
}

void QtComboBox::showPopup() {
    emit dropDown();
    QComboBox::showPopup();
}

void QtComboBox::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(view() && view()->isVisible())) {
        event->accept();
        emit enterPressed();
        return;
    }
    QComboBox::keyPressEvent(event);
}

// The common controls: everything goes to their widgets.

QtTabControl& WidgetOf(const TabControl& tabs) {
    return *tabs.native().widget;
}
QtComboBox& WidgetOf(const ComboBox& combo) {
    return *combo.native().widget;
}

TabControl::TabControl(std::unique_ptr<Native> native)
    : Control(kKind), native_(std::move(native)) {}
TabControl::~TabControl() = default;

void TabControl::InsertItem(int index, const std::string& text) {
    native_->widget->InsertItem(index, text);
}
int TabControl::ItemCount() const {
    return native_->widget->ItemCount();
}
std::string TabControl::ItemText(int index) const {
    return native_->widget->ItemText(index);
}
int TabControl::CurSel() const {
    return native_->widget->CurSel();
}
void TabControl::SetCurSel(int index) {
    native_->widget->SetCurSel(index);
}
Rect TabControl::PageArea() const {
    return native_->widget->PageArea();
}

ComboBox::ComboBox(std::unique_ptr<Native> native) : Control(kKind), native_(std::move(native)) {}
ComboBox::~ComboBox() = default;

int ComboBox::AddString(const std::string& text) {
    return native_->widget->AddString(text);
}
int ComboBox::FindStringPrefix(const std::string& prefix) const {
    return native_->widget->FindStringPrefix(prefix);
}
StringList ComboBox::Entries() const {
    return native_->widget->Entries();
}

}  // namespace pelvane::ui
