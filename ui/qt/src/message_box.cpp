#include "ui/message_box.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>

#include "ui/dialog.h"

namespace pelvane::ui {

namespace {
std::function<void(QMessageBox&)>& Hook() {
    static std::function<void(QMessageBox&)> hook;
    return hook;
}
}  // namespace

namespace {
// The program's name as its window shows it, not as its file is called.
QString CaptionFor(const QWidget* parent) {
    const auto* dialog = qobject_cast<const Dialog*>(parent ? parent->window() : nullptr);
    const char* caption = dialog ? dialog->dialogTemplate().caption : "";
    return *caption ? QString::fromUtf8(caption) : QCoreApplication::applicationName();
}
}  // namespace

void MessageBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, CaptionFor(parent), text, QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    // The button speaks the program's language whatever the system's locale, and carries
    // no theme icon: the box has none either.
    if (QAbstractButton* ok = box.button(QMessageBox::Ok)) {
        ok->setText(QStringLiteral("确定"));
        ok->setIcon(QIcon());
    }
    if (Hook()) {
        QTimer::singleShot(0, &box, [&box] {
            if (Hook()) Hook()(box);
        });
    }
    box.exec();
}

void SetMessageBoxHook(std::function<void(QMessageBox&)> hook) {
    Hook() = std::move(hook);
}

}  // namespace pelvane::ui
