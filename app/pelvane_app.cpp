#include "app/pelvane_app.h"

#include "app/pelvane_dlg.h"

namespace pelvane {

CPelvaneApp::CPelvaneApp(int& argc, char** argv) : ui::Application(argc, argv, "pelvane") {}

bool CPelvaneApp::InitInstance() {
    CPelvaneDlg dialog;
    dialog.DoModal();
    return false;
}

}  // namespace pelvane
