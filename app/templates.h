// The dialog templates of the main window and the About box.
#pragma once

#include "ui/dialog_template.h"

namespace pelvane {

const ui::DialogTemplate& MainDialogTemplate();
const ui::DialogTemplate& AboutDialogTemplate();

}  // namespace pelvane
