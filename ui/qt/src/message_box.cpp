#include "ui/message_box.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>

#include "ui/qt/src/dialog_window.h"

namespace pelvane::ui {

namespace {
std::function<void(const OpenMessageBox&)>& Hook() {
    static std::function<void(const OpenMessageBox&)> hook;
    return hook;
}

// The program's name as its window shows it, not as its file is called.
QString CaptionFor(const QWidget* parent) {
    const auto* dialog = qobject_cast<const QtDialog*>(parent ? parent->window() : nullptr);
    const char* caption = dialog ? dialog->dialogTemplate().caption : "";
    return *caption ? QString::fromUtf8(caption) : QCoreApplication::applicationName();
}
}  // namespace

void MessageBox(Dialog* parent, const std::string& text) {
    QWidget* owner = parent != nullptr ? &WidgetOf(*parent) : nullptr;
    QMessageBox box(QMessageBox::NoIcon, CaptionFor(owner), QString::fromStdString(text),
                    QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    // The button speaks the program's language whatever the system's locale, and carries
    // no theme icon: the box has none either.
    QAbstractButton* ok = box.button(QMessageBox::Ok);
    if (ok != nullptr) {
        ok->setText(QStringLiteral("确定"));
        ok->setIcon(QIcon());
    }
    if (Hook()) {
        QTimer::singleShot(0, &box, [&box, ok] {
            if (!Hook()) return;
            Hook()({box.windowTitle().toStdString(), box.text().toStdString(), [ok] {
                        if (ok != nullptr) ok->click();
                    }});
        });
    }
    box.exec();
}

void SetMessageBoxHook(std::function<void(const OpenMessageBox&)> hook) {
    Hook() = std::move(hook);
}

}  // namespace pelvane::ui
