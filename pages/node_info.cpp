#include "pages/node_info.h"

#include "controller/controller_state.h"
#include "nodes/node_cells.h"
#include "nodes/node_table.h"
#include "pages/page_list.h"
#include "ui/layout.h"

namespace pelvane {
namespace {

constexpr ListColumn kNodeColumns[kNodeInfoColumnCount] = {
    {"节点号", 50}, {"厂商ID", 100}, {"设备ID", 80}, {"拨码号", 80}, {"轴数", 80},
    {"输入", 80},   {"输出", 80},    {"AD", 80},     {"DA", 80},
};

}  // namespace

const ui::DialogTemplate& NodeInfoTemplate() {
    static const ui::DialogTemplate dialogTemplate{
        .caption = "",
        .fontFamily = "MS Shell Dlg",
        .pointSize = 8,
        .fontWeight = 400,
        .size = {600, 348},
        .styles = ui::kChild,
        .items = {{kIdcNodeList,
                   ui::ItemKind::ListView,
                   "",
                   {0, 0, 598, 348},
                   ui::kBorder | ui::kTabStop}},
        .initStrings = {},
    };
    return dialogTemplate;
}

NodeInfo::NodeInfo() : ui::Dialog(NodeInfoTemplate()) {}

bool NodeInfo::OnInitDialog() {
    nodeList_ = ItemAs<ui::ListControl>(kIdcNodeList);
    RefreshNodeList();
    return true;
}

void NodeInfo::OnSize(const ui::Size&) {
    FollowSize(kIdcNodeList, ui::kAnchorAll);
}

void NodeInfo::RefreshNodeList() {
    if (g_controllerHandle == nullptr || nodeList_ == nullptr) return;
    ResetList(*nodeList_, kNodeColumns);
    // The whole table is read before any row shows, so no row mixes two reads.
    const int32_t count = QueryNodeTable();
    for (int32_t row = 0; row < count; ++row)
        AppendRow(*nodeList_, NodeInfoCells(g_nodeTable[static_cast<size_t>(row)]));
}

}  // namespace pelvane
