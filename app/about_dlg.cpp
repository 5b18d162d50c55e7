#include "app/about_dlg.h"

#include "app/templates.h"

namespace pelvane {

CAboutDlg::CAboutDlg(ui::Dialog* parent) : ui::Dialog(AboutDialogTemplate(), parent) {}

}  // namespace pelvane
