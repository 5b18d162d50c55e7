#include "ui/dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimerEvent>

#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/list_control.h"

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

Dialog::Dialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), template_(dialogTemplate) {}

void Dialog::Initialize() {
    if (built_) return;
    Build();
    if (OnInitDialog()) FocusFirstTabStop();
}

int Dialog::DoModal() {
    Initialize();
    return exec() == QDialog::Accepted ? kIdOk : kIdCancel;
}

bool Dialog::Create(TabControl& host) {
    if (built_) return false;
    setParent(&host, Qt::Widget);
    hide();
    Build();
    OnInitDialog();
    return true;
}

void Dialog::Build() {
    built_ = true;
    const bool child = (template_.styles & kChild) != 0;
    if (!child) {
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
    setFont(TemplateFont(template_.fontFamily, template_.pointSize, template_.fontWeight));
    units_ = BaseUnitsForFont(font());
    const QSize size(DluToPixelsX(template_.size.width, units_),
                     DluToPixelsY(template_.size.height, units_));
    resize(size);
    if (!child && !(template_.styles & kResizable)) setFixedSize(size);

    for (const ItemTemplate& item : template_.items) {
        QWidget* control = CreateItem(item);
        control->setProperty(kItemIdProperty, item.id);
        controls_.push_back(control);
        if (item.id != kIdNone) items_.try_emplace(item.id, control);
    }
    for (const InitString& entry : template_.initStrings) {
        if (auto* combo = ItemAs<ComboBox>(entry.itemId))
            combo->AddString(entry.text);
    }
}

QWidget* Dialog::CreateItem(const ItemTemplate& item) {
    const QString text = QString::fromUtf8(item.text);
    QRect rect = ToQRect(MapDialogRect(item.rect));
    const bool tabStop = (item.styles & kTabStop) != 0;
    const bool border = (item.styles & kBorder) != 0;
    QWidget* control = nullptr;
    Qt::FocusPolicy focus = tabStop ? Qt::StrongFocus : Qt::ClickFocus;

    switch (item.kind) {
        case ItemKind::Tab: {
            auto* tab = new TabControl(this);
            tab->SetButtonStyle((item.styles & kTabButtons) != 0);
            control = tab;
            if (!tabStop) focus = Qt::NoFocus;
            break;
        }
        case ItemKind::GroupBox:
            control = new QGroupBox(text, this);
            focus = Qt::NoFocus;
            break;
        case ItemKind::Static: {
            auto* label = new QLabel(text, this);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            control = label;
            focus = Qt::NoFocus;
            break;
        }
        case ItemKind::Icon: {
            auto* label = new QLabel(this);
            label->setPixmap(windowIcon().pixmap(32, 32));
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            control = label;
            focus = Qt::NoFocus;
            break;
        }
        case ItemKind::ComboBox: {
            auto* combo = new ComboBox(this);
            combo->SetSorted((item.styles & kSorted) != 0);
            // The template's height includes the dropped list; the box itself is one line.
            rect.setHeight(combo->sizeHint().height());
            combo->setGeometry(rect);
            combo->SetAutoHScroll((item.styles & kAutoHScroll) != 0);
            control = combo;
            break;
        }
        case ItemKind::PushButton: {
            auto* button = new QPushButton(text, this);
            // Enter is handled by the dialog; Qt's default-button guessing stays out.
            button->setAutoDefault(false);
            button->setDefault((item.styles & kDefaultButton) != 0);
            if (item.id == kIdOk) connect(button, &QPushButton::clicked, this, &QDialog::accept);
            if (item.id == kIdCancel)
                connect(button, &QPushButton::clicked, this, &QDialog::reject);
            control = button;
            break;
        }
        case ItemKind::Edit:
            if (item.styles & kMultiLine) {
                auto* edit = new QPlainTextEdit(this);
                edit->setReadOnly((item.styles & kReadOnly) != 0);
                edit->setLineWrapMode((item.styles & kAutoHScroll) ? QPlainTextEdit::NoWrap
                                                                   : QPlainTextEdit::WidgetWidth);
                edit->setFrameShape(border ? QFrame::StyledPanel : QFrame::NoFrame);
                edit->setPlainText(text);
                control = edit;
            } else {
                auto* edit = new QLineEdit(text, this);
                edit->setReadOnly((item.styles & kReadOnly) != 0);
                edit->setFrame(border);
                edit->setGeometry(rect);
                if (!(item.styles & kAutoHScroll)) LimitTextToField(edit);
                control = edit;
            }
            break;
        case ItemKind::ListView: {
            auto* list = new ListControl(this);
            list->setFrameShape(border ? QFrame::StyledPanel : QFrame::NoFrame);
            control = list;
            break;
        }
    }
    control->setFocusPolicy(focus);
    control->setGeometry(rect);
    if (item.styles & kHidden) control->hide();
    return control;
}

void Dialog::FocusFirstTabStop() {
    for (size_t i = 0; i < controls_.size(); ++i) {
        const uint32_t styles = template_.items[i].styles;
        if ((styles & kTabStop) && !(styles & kHidden) && controls_[i]->isEnabled()) {
            controls_[i]->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

QWidget* Dialog::Item(int id) const {
    const auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second;
}

void Dialog::Show(bool shown) {
    setVisible(shown);
}

void Dialog::SetCaption(const std::string& text) {
    setWindowTitle(QString::fromStdString(text));
}
std::string Dialog::Caption() const {
    return windowTitle().toStdString();
}

void Dialog::SetItemText(int id, const std::string& text) {
    SetControlText(Item(id), QString::fromStdString(text));
}
std::string Dialog::ItemText(int id) const {
    return ControlText(Item(id)).toStdString();
}

void Dialog::Bind(int id, Notify notify, std::function<void()> handler) {
    QWidget* item = Item(id);
    auto run = [handler = std::move(handler)] { handler(); };
    switch (notify) {
        case Notify::Clicked:
            if (auto* button = qobject_cast<QAbstractButton*>(item))
                connect(button, &QAbstractButton::clicked, this, run);
            break;
        case Notify::DropDown:
            if (auto* combo = qobject_cast<ComboBox*>(item))
                connect(combo, &ComboBox::dropDown, this, run);
            break;
        case Notify::EnterPressed:
            if (auto* combo = qobject_cast<ComboBox*>(item))
                connect(combo, &ComboBox::enterPressed, this, run);
            break;
        case Notify::SelChange:
            if (auto* tab = qobject_cast<TabControl*>(item))
                connect(tab, &TabControl::selChange, this, run);
            break;
    }
}

void Dialog::FollowSize(int id, uint32_t anchors) {
    QWidget* control = Item(id);
    if (control == nullptr) return;
    for (const ItemTemplate& item : template_.items) {
        if (item.id != id) continue;
        const Rect place = FollowClient(MapDialogRect(item.rect), DluToPixels(template_.size, units_),
                                        {width(), height()}, anchors);
        control->setGeometry(ToQRect(place));
        return;
    }
}

void Dialog::SetTimer(int id, int intervalMs) {
    KillTimer(id);
    const int qtId = startTimer(intervalMs);
    if (qtId != 0) timers_[id] = qtId;
}

bool Dialog::KillTimer(int id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return false;
    killTimer(it->second);
    timers_.erase(it);
    return true;
}

void Dialog::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtId] : timers_) {
        if (qtId == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QDialog::timerEvent(event);
}

void Dialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!isMinimized()) OnSize({event->size().width(), event->size().height()});
}

void Dialog::keyPressEvent(QKeyEvent* event) {
    // A page leaves its keys to the window around it.
    if (!isWindow()) {
        event->ignore();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // The focused button, else the default button, else nothing: Enter never
            // closes a dialog by itself.
            auto* focused = qobject_cast<QPushButton*>(focusWidget());
            if (focused && isAncestorOf(focused) && focused->isEnabled()) {
                focused->click();
            } else {
                for (QPushButton* button : findChildren<QPushButton*>()) {
                    if (button->isDefault() && button->isVisible() && button->isEnabled() &&
                        button->window() == this) {
                        button->click();
                        break;
                    }
                }
            }
            event->accept();
            return;
        }
        case Qt::Key_Escape:
            event->accept();
            reject();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void Dialog::AddSystemMenuItem(uint32_t command, const std::string& text) {
    menuEntries_.push_back({command, QString::fromStdString(text)});
}

void Dialog::AddSystemMenuEntries(QMenu& menu) {
    if (menuEntries_.empty()) return;
    menu.addSeparator();
    for (const MenuEntry& entry : menuEntries_) {
        QAction* action = menu.addAction(entry.text);
        connect(action, &QAction::triggered, this,
                [this, command = entry.command] { OnSysCommand(command); });
    }
}

void Dialog::contextMenuEvent(QContextMenuEvent* event) {
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
