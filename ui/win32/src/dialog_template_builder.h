// DialogTemplate to the in-memory DLGTEMPLATEEX that CreateDialogIndirectParam reads.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/dialog_template.h"

namespace pelvane::ui {

// Words rather than bytes: the system reads the template in aligned words and dwords,
// and a vector of words is allocated at least that aligned.
std::vector<uint16_t> BuildDialogTemplate(const DialogTemplate& dialogTemplate, bool asPage);

}  // namespace pelvane::ui
