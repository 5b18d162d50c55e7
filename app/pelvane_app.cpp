#include "pelvane_app.h"

#include "app_icon.h"
#include "pelvane_dlg.h"

namespace pelvane {

CPelvaneApp::CPelvaneApp(int& argc, char** argv) : QApplication(argc, argv) {
    setWindowIcon(AppIcon());
    // Lets Wayland compositors match the window to pelvane.desktop and its icon.
    setDesktopFileName(QStringLiteral("pelvane"));
}

bool CPelvaneApp::InitInstance() {
    CPelvaneDlg dialog;
    dialog.DoModal();
    return false;
}

}  // namespace pelvane
