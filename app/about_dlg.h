// The About box: program name, version, copyright and icon.
#pragma once

#include "ui/dialog.h"

namespace pelvane {

class CAboutDlg : public ui::Dialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace pelvane
