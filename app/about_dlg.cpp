#include "about_dlg.h"

#include "templates.h"

namespace pelvane {

CAboutDlg::CAboutDlg(QWidget* parent) : ui::Dialog(AboutDialogTemplate(), parent) {}

}  // namespace pelvane
