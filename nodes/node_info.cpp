#include "node_info.h"

namespace pelvane {

const ui::DialogTemplate& NodeInfoTemplate() {
    static const ui::DialogTemplate dialogTemplate{
        .id = kNodeInfoTemplateId,
        .caption = "",
        .fontFamily = "MS Shell Dlg",
        .pointSize = 8,
        .fontWeight = 400,
        .size = {600, 348},
        .styles = ui::kChild,
        .items = {},
        .initStrings = {},
    };
    return dialogTemplate;
}

NodeInfo::NodeInfo() : ui::Dialog(NodeInfoTemplate()) {}

bool NodeInfo::OnInitDialog() {
    RefreshNodeList();
    return true;
}

void NodeInfo::RefreshNodeList() {
    ++refreshCount_;
}

}  // namespace pelvane
