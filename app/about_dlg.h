// The About box: program name, version, copyright and icon.
#pragma once

#include "ui/dialog.h"

namespace pelvane {

class CAboutDlg : public ui::Dialog {
  public:
    explicit CAboutDlg(ui::Dialog* parent = nullptr);
};

}  // namespace pelvane
