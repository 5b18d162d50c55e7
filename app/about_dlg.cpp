#include "about_dlg.h"

#include "templates.h"

namespace pelvane {

CAboutDlg::CAboutDlg(ui::Dialog* parent) : ui::Dialog(AboutDialogTemplate(), parent) {}

}  // namespace pelvane
