#include "ui/application.h"

#include <QApplication>
#include <QFile>
#include <QIcon>

#include "ui/qt/src/dialog_window.h"

namespace pelvane::ui {

struct Application::System {
    System(int& argc, char** argv) : app(argc, argv) {}
    QApplication app;
};

Application::Application(int& argc, char** argv, const char* desktopName)
    : system_(std::make_unique<System>(argc, argv)) {
    QApplication::setWindowIcon(AppIcon());
    // Lets Wayland compositors match the window to its .desktop entry and icon.
    QGuiApplication::setDesktopFileName(QString::fromUtf8(desktopName));
}

Application::~Application() = default;

QIcon AppIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 256}) {
        const QString file = QStringLiteral(":/app-icon/%1.png").arg(size);
        if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
    }
    return icon;
}

}  // namespace pelvane::ui
