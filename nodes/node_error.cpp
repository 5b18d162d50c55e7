#include "node_error.h"

namespace pelvane {

const ui::DialogTemplate& NodeErrorTemplate() {
    static const ui::DialogTemplate dialogTemplate{
        .id = kNodeErrorTemplateId,
        .caption = "",
        .fontFamily = "MS Shell Dlg",
        .pointSize = 8,
        .fontWeight = 400,
        .size = {600, 350},
        .styles = ui::kChild,
        .items = {},
        .initStrings = {},
    };
    return dialogTemplate;
}

NodeError::NodeError() : ui::Dialog(NodeErrorTemplate()) {}

void NodeError::RefreshErrorList() {
    ++refreshCount_;
}

}  // namespace pelvane
