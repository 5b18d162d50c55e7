#include "ui/dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimerEvent>

#include "ui/layout.h"
#include "ui/qt/src/dialog_window.h"

namespace pelvane::ui {

int ItemIdOf(const QWidget* widget) {
    const QVariant id = widget ? widget->property(kItemIdProperty) : QVariant();
    return id.isValid() ? id.toInt() : kIdNone;
}

QWidget* FindItem(const QWidget* root, int id) {
    if (!root || id == kIdNone) return nullptr;
    const auto widgets = root->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (ItemIdOf(widget) == id) return widget;
    }
    return nullptr;
}

void SetControlText(QWidget* control, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
        // A native edit shows the start of new text, not its end.
        edit->setCursorPosition(0);
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(control)) {
        multi->setPlainText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        combo->setEditText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(text);
    } else if (control) {
        control->setWindowTitle(text);
    }
}

QString ControlText(const QWidget* control) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text();
    if (const auto* multi = qobject_cast<const QPlainTextEdit*>(control))
        return multi->toPlainText();
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) return combo->currentText();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(control)) return label->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(control)) return group->title();
    return control ? control->windowTitle() : QString();
}

QRect ToQRect(const Rect& rect) {
    return {rect.x, rect.y, rect.width, rect.height};
}

Rect FromQRect(const QRect& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

QDialog& WidgetOf(const Dialog& dialog) {
    return *dialog.native().window;
}

Dialog* DialogOf(QWidget* window) {
    auto* dialog = qobject_cast<QtDialog*>(window);
    return dialog != nullptr ? &dialog->dialog() : nullptr;
}

QWidget* ItemWidget(const Dialog& dialog, int id) {
    return dialog.native().window->Item(id);
}

void AddSystemMenuEntries(const Dialog& dialog, QMenu& menu) {
    dialog.native().window->AddSystemMenuEntries(menu);
}

// The common dialog: everything goes to its window.

Dialog::Native::Native(Dialog& dialog, QWidget* parent)
    : owner(dialog), window(new QtDialog(*this, dialog.dialogTemplate(), parent)) {}

Dialog::Native::~Native() {
    delete window.data();
}

Dialog::Dialog(const DialogTemplate& dialogTemplate, Dialog* parent)
    : template_(dialogTemplate),
      native_(std::make_unique<Native>(*this, parent ? parent->native().window.data() : nullptr)) {}

Dialog::~Dialog() = default;

void Dialog::Initialize() {
    native_->window->Initialize();
}
int Dialog::DoModal() {
    return native_->window->DoModal();
}
bool Dialog::Create(TabControl& host) {
    return native_->window->Create(WidgetOf(host));
}
void Dialog::Show(bool shown) {
    native_->window->setVisible(shown);
}
bool Dialog::IsShown() const {
    return native_->window->isVisible();
}
void Dialog::SetGeometry(const Rect& rect) {
    native_->window->setGeometry(ToQRect(rect));
}
Rect Dialog::Geometry() const {
    return FromQRect(native_->window->geometry());
}
void Dialog::SetCaption(const std::string& text) {
    native_->window->setWindowTitle(QString::fromStdString(text));
}
std::string Dialog::Caption() const {
    return native_->window->windowTitle().toStdString();
}
BaseUnits Dialog::baseUnits() const {
    return native_->window->baseUnits();
}
Control* Dialog::ControlOf(int id) const {
    return native_->window->ControlOf(id);
}
void Dialog::SetItemText(int id, const std::string& text) {
    SetControlText(native_->window->Item(id), QString::fromStdString(text));
}
std::string Dialog::ItemText(int id) const {
    return ControlText(native_->window->Item(id)).toStdString();
}
void Dialog::Bind(int id, Notify notify, std::function<void()> handler) {
    native_->window->Bind(id, notify, std::move(handler));
}
void Dialog::FollowSize(int id, uint32_t anchors) {
    native_->window->FollowSize(id, anchors);
}
void Dialog::SetTimer(int id, int intervalMs) {
    native_->window->SetTimer(id, intervalMs);
}
bool Dialog::KillTimer(int id) {
    return native_->window->KillTimer(id);
}
bool Dialog::HasTimer(int id) const {
    return native_->window->HasTimer(id);
}
void Dialog::AddSystemMenuItem(uint32_t command, const std::string& text) {
    native_->window->AddSystemMenuItem(command, text);
}

// The window.

QtDialog::QtDialog(Dialog::Native& native, const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), native_(native), template_(dialogTemplate) {}

Dialog& QtDialog::dialog() const {
    return native_.owner;
}

void QtDialog::Initialize() {
    if (built_) return;
    Build();
    if (native_.InitDialog()) FocusFirstTabStop();
}

int QtDialog::DoModal() {
    Initialize();
    return exec() == QDialog::Accepted ? kIdOk : kIdCancel;
}

bool QtDialog::Create(QtTabControl& host) {
    if (built_) return false;
    setParent(&host, Qt::Widget);
    hide();
    Build();
    native_.InitDialog();
    return true;
}

void QtDialog::SetWindowLook() {
    Qt::WindowFlags flags = Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;
    if (template_.styles & kMinMaxButtons) {
        flags |= Qt::Window | Qt::WindowMinMaxButtonsHint;
    } else {
        flags |= Qt::Dialog;
    }
    setWindowFlags(flags);
    setWindowTitle(QString::fromUtf8(template_.caption));
    setWindowIcon(AppIcon());
}

void QtDialog::Build() {
    built_ = true;
    const bool child = (template_.styles & kChild) != 0;
    if (!child) SetWindowLook();
    setFont(TemplateFont(template_.fontFamily, template_.pointSize, template_.fontWeight));
    units_ = BaseUnitsForFont(font());
    const QSize size(DluToPixelsX(template_.size.width, units_),
                     DluToPixelsY(template_.size.height, units_));
    resize(size);
    if (!child && !(template_.styles & kResizable)) setFixedSize(size);

    for (const ItemTemplate& item : template_.items) AddControl(item, CreateItem(item));
    for (const InitString& entry : template_.initStrings) {
        if (auto* combo = qobject_cast<QtComboBox*>(Item(entry.itemId)))
            combo->AddString(entry.text);
    }
}

void QtDialog::AddControl(const ItemTemplate& item, QWidget* widget) {
    widget->setProperty(kItemIdProperty, item.id);
    widgets_.push_back(widget);
    if (item.id == kIdNone || !items_.try_emplace(item.id, widget).second) return;
    std::unique_ptr<Control> control;
    if (auto* tab = qobject_cast<QtTabControl*>(widget)) {
        control = std::make_unique<TabControl>(std::make_unique<TabControl::Native>(tab));
    } else if (auto* combo = qobject_cast<QtComboBox*>(widget)) {
        control = std::make_unique<ComboBox>(std::make_unique<ComboBox::Native>(combo));
    } else if (auto* list = qobject_cast<QtListControl*>(widget)) {
        control = std::make_unique<ListControl>(std::make_unique<ListControl::Native>(list));
    }
    if (control) controls_.emplace(item.id, std::move(control));
}

QWidget* QtDialog::CreateItem(const ItemTemplate& item) {
    const QString text = QString::fromUtf8(item.text);
    QRect rect = ToQRect(DluToPixels(item.rect, units_));
    const bool tabStop = (item.styles & kTabStop) != 0;
    QWidget* control = nullptr;
    Qt::FocusPolicy focus = tabStop ? Qt::StrongFocus : Qt::ClickFocus;
    switch (item.kind) {
        case ItemKind::Tab: {
            auto* tab = new QtTabControl(this);
            tab->SetButtonStyle((item.styles & kTabButtons) != 0);
            control = tab;
            if (!tabStop) focus = Qt::NoFocus;
            break;
        }
        case ItemKind::GroupBox:
            control = new QGroupBox(text, this);
            focus = Qt::NoFocus;
            break;
        case ItemKind::Static:
        case ItemKind::Icon: {
            auto* label = new QLabel(text, this);
            if (item.kind == ItemKind::Icon) label->setPixmap(windowIcon().pixmap(32, 32));
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            control = label;
            focus = Qt::NoFocus;
            break;
        }
        case ItemKind::ComboBox: {
            auto* combo = new QtComboBox(this);
            combo->SetSorted((item.styles & kSorted) != 0);
            // The template's height includes the dropped list; the box itself is one line.
            rect.setHeight(combo->sizeHint().height());
            combo->setGeometry(rect);
            combo->SetAutoHScroll((item.styles & kAutoHScroll) != 0);
            control = combo;
            break;
        }
        case ItemKind::PushButton:
            control = CreateButton(item);
            break;
        case ItemKind::Edit:
            control = CreateEdit(item, rect);
            break;
        case ItemKind::ListView: {
            auto* list = new QtListControl(this);
            list->setFrameShape((item.styles & kBorder) ? QFrame::StyledPanel : QFrame::NoFrame);
            control = list;
            break;
        }
    }
    control->setFocusPolicy(focus);
    control->setGeometry(rect);
    if (item.styles & kHidden) control->hide();
    return control;
}

QWidget* QtDialog::CreateButton(const ItemTemplate& item) {
    auto* button = new QPushButton(QString::fromUtf8(item.text), this);
    // Enter is handled by the dialog; Qt's default-button guessing stays out.
    button->setAutoDefault(false);
    button->setDefault((item.styles & kDefaultButton) != 0);
    if (item.id == kIdOk) connect(button, &QPushButton::clicked, this, &QDialog::accept);
    if (item.id == kIdCancel) connect(button, &QPushButton::clicked, this, &QDialog::reject);
    return button;
}

QWidget* QtDialog::CreateEdit(const ItemTemplate& item, const QRect& rect) {
    const QString text = QString::fromUtf8(item.text);
    const bool border = (item.styles & kBorder) != 0;
    if (item.styles & kMultiLine) {
        auto* edit = new QPlainTextEdit(this);
        edit->setReadOnly((item.styles & kReadOnly) != 0);
        edit->setLineWrapMode((item.styles & kAutoHScroll) ? QPlainTextEdit::NoWrap
                                                           : QPlainTextEdit::WidgetWidth);
        edit->setFrameShape(border ? QFrame::StyledPanel : QFrame::NoFrame);
        edit->setPlainText(text);
        return edit;
    }
    auto* edit = new QLineEdit(text, this);
    edit->setReadOnly((item.styles & kReadOnly) != 0);
    edit->setFrame(border);
    // The field's room for text depends on its size.
    edit->setGeometry(rect);
    if (!(item.styles & kAutoHScroll)) LimitTextToField(edit);
    return edit;
}

void QtDialog::FocusFirstTabStop() {
    for (size_t i = 0; i < widgets_.size(); ++i) {
        const uint32_t styles = template_.items[i].styles;
        if ((styles & kTabStop) && !(styles & kHidden) && widgets_[i]->isEnabled()) {
            widgets_[i]->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

QWidget* QtDialog::Item(int id) const {
    const auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second;
}

Control* QtDialog::ControlOf(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second.get();
}

void QtDialog::Bind(int id, Notify notify, std::function<void()> handler) {
    QWidget* item = Item(id);
    auto run = [handler = std::move(handler)] { handler(); };
    switch (notify) {
        case Notify::Clicked:
            if (auto* button = qobject_cast<QAbstractButton*>(item))
                connect(button, &QAbstractButton::clicked, this, run);
            break;
        case Notify::DropDown:
            if (auto* combo = qobject_cast<QtComboBox*>(item))
                connect(combo, &QtComboBox::dropDown, this, run);
            break;
        case Notify::EnterPressed:
            if (auto* combo = qobject_cast<QtComboBox*>(item))
                connect(combo, &QtComboBox::enterPressed, this, run);
            break;
        case Notify::SelChange:
            if (auto* tab = qobject_cast<QtTabControl*>(item))
                connect(tab, &QtTabControl::selChange, this, run);
            break;
    }
}

void QtDialog::FollowSize(int id, uint32_t anchors) {
    QWidget* control = Item(id);
    if (control == nullptr) return;
    for (const ItemTemplate& item : template_.items) {
        if (item.id != id) continue;
        const Rect place =
            FollowClient(DluToPixels(item.rect, units_), DluToPixels(template_.size, units_),
                         {width(), height()}, anchors);
        control->setGeometry(ToQRect(place));
        return;
    }
}

void QtDialog::SetTimer(int id, int intervalMs) {
    KillTimer(id);
    const int qtId = startTimer(intervalMs);
    if (qtId != 0) timers_[id] = qtId;
}

bool QtDialog::KillTimer(int id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return false;
    killTimer(it->second);
    timers_.erase(it);
    return true;
}

void QtDialog::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtId] : timers_) {
        if (qtId == event->timerId()) {
            native_.Timer(id);
            return;
        }
    }
    QDialog::timerEvent(event);
}

void QtDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!isMinimized()) native_.Resized({event->size().width(), event->size().height()});
}

// The focused button, else the default button, else nothing: Enter never closes a
// dialog by itself.
void QtDialog::PressEnter() {
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    if (focused && isAncestorOf(focused) && focused->isEnabled()) {
        focused->click();
        return;
    }
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->isDefault() && button->isVisible() && button->isEnabled() &&
            button->window() == this) {
            button->click();
            return;
        }
    }
}

void QtDialog::keyPressEvent(QKeyEvent* event) {
    // A page leaves its keys to the window around it.
    if (!isWindow()) {
        event->ignore();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            PressEnter();
            event->accept();
            return;
        case Qt::Key_Escape:
            event->accept();
            reject();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

// The desktop keeps the window's system menu to itself here, so the entries go into the
// menu of the dialog's background instead, after a separator.
void QtDialog::AddSystemMenuItem(uint32_t command, const std::string& text) {
    menuEntries_.push_back({command, QString::fromStdString(text)});
}

void QtDialog::AddSystemMenuEntries(QMenu& menu) {
    if (menuEntries_.empty()) return;
    menu.addSeparator();
    for (const MenuEntry& entry : menuEntries_) {
        QAction* action = menu.addAction(entry.text);
        connect(action, &QAction::triggered, this,
                [this, command = entry.command] { native_.SysCommand(command); });
    }
}

void QtDialog::contextMenuEvent(QContextMenuEvent* event) {
    // QDialog would take it for its "What's This?" menu; a page passes it to its window.
    if (!isWindow()) {
        event->ignore();
        return;
    }
    if (menuEntries_.empty()) {
        QDialog::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    AddSystemMenuEntries(menu);
    menu.exec(event->globalPos());
}

}  // namespace pelvane::ui
