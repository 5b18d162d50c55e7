#include "ui/message_box.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

namespace pelvane::ui {

namespace {
std::function<void(QMessageBox&)>& Hook() {
    static std::function<void(QMessageBox&)> hook;
    return hook;
}
}  // namespace

void MessageBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.setWindowModality(Qt::ApplicationModal);
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
