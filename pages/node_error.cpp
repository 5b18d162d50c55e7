#include "pages/node_error.h"

#include "controller/controller_state.h"
#include "controller/gbk.h"
#include "nodes/node_cells.h"
#include "nodes/node_table.h"
#include "pages/page_list.h"
#include "ui/layout.h"

namespace pelvane {
namespace {

constexpr ListColumn kErrorColumns[kErrorListColumnCount] = {
    {"节点号", 50}, {"厂商ID", 100}, {"设备ID", 80}, {"300H", 80},
    {"301H", 80},   {"302H", 80},    {"303H", 80},   {"驱动器状态字", 80},
};

constexpr const char* kRegisterHelp =
    "300H:节点第一个网口检测的错误计数\r\n"
    "301H:节点第一个网口物理层接收错误计数\r\n"
    "302H:节点第二个网口检测的错误计数\r\n"
    "303H:节点第二个网口物理层接收错误计数\r\n";

constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;

}  // namespace

const ui::DialogTemplate& NodeErrorTemplate() {
    using namespace ui;
    static const DialogTemplate dialogTemplate{
        .caption = "",
        .fontFamily = "MS Shell Dlg",
        .pointSize = 8,
        .fontWeight = 400,
        .size = {600, 350},
        .styles = kChild,
        .items =
            {
                {kIdcLostcount,
                 ItemKind::Edit,
                 "",
                 {0, 1, 600, 19},
                 kReadOnly | kAutoHScroll | kBorder | kTabStop},
                {kIdcErrorList, ItemKind::ListView, "", {0, 22, 421, 328}, kBorder | kTabStop},
                {kIdcRegisterHelp,
                 ItemKind::Edit,
                 "",
                 {421, 20, 178, 330},
                 kMultiLine | kReadOnly | kAutoHScroll | kBorder | kTabStop},
            },
        .initStrings = {},
    };
    return dialogTemplate;
}

std::array<std::string, kErrorListColumnCount> ErrorListCells(int32_t node,
                                                              const NodeRecord& record,
                                                              const ErrorCounterTable& table) {
    const auto i = static_cast<size_t>(node);
    return {FormatNodeLabel(node),
            FormatVendor(record.vendorId),
            FormatHex(record.deviceId),
            FormatCount(table[kRegister300H][i]),
            FormatCount(table[kRegister301H][i]),
            FormatCount(table[kRegister302H][i]),
            FormatCount(table[kRegister303H][i]),
            FormatHex(table[kStatusWord][i])};
}

bool ErrorRowColors(int, intptr_t itemData, ui::RowColors& colors) {
    if (itemData != kRowHasErrors && itemData != kRowClear) return false;
    colors.background = itemData == kRowHasErrors ? kRed : kWhite;
    colors.text = kBlack;
    return true;
}

NodeError::NodeError() : ui::Dialog(NodeErrorTemplate()) {}

bool NodeError::OnInitDialog() {
    errorList_ = ItemAs<ui::ListControl>(kIdcErrorList);
    errorList_->SetRowColorHook(ErrorRowColors);
    // They tick whether the page is shown or not; a tick without a controller does nothing.
    SetTimer(kPollTimerId, kPollPeriodMs);
    SetTimer(kRebuildTimerId, kRebuildPeriodMs);
    SetItemText(kIdcRegisterHelp, kRegisterHelp);
    return true;
}

void NodeError::OnSize(const ui::Size&) {
    FollowSize(kIdcLostcount, ui::kAnchorLeft | ui::kAnchorTop | ui::kAnchorRight);
    FollowSize(kIdcErrorList, ui::kAnchorAll);
    FollowSize(kIdcRegisterHelp, ui::kAnchorTop | ui::kAnchorRight | ui::kAnchorBottom);
}

void NodeError::OnTimer(int id) {
    if (g_controllerHandle == nullptr) return;
    if (id == kPollTimerId) {
        PollErrorCounters();
    } else if (id == kRebuildTimerId && stale_) {
        RefreshErrorList();
    }
}

void NodeError::PollErrorCounters() {
    // The field is set before the nodes are asked, so it never waits for a long poll.
    SetItemText(kIdcLostcount, GbkToUtf8(poll_.ReadLostcountText()));
    if (poll_.PollNodes(g_errorCounterTable, pageNodeCount_)) stale_ = true;
}

void NodeError::ForgetLastPoll() {
    pageNodeCount_ = 0;
    SetItemText(kIdcLostcount, "");
    RefreshErrorList();
}

void NodeError::RefreshErrorList() {
    if (g_controllerHandle != nullptr && errorList_ != nullptr) {
        ResetList(*errorList_, kErrorColumns);
        for (int32_t node = 0; node < pageNodeCount_; ++node) {
            const NodeRecord& record = g_nodeTable[static_cast<size_t>(node)];
            AppendRow(*errorList_, ErrorListCells(node, record, g_errorCounterTable));
            errorList_->SetItemData(
                node, CountersClear(g_errorCounterTable, node) ? kRowClear : kRowHasErrors);
        }
    }
    stale_ = false;
}

}  // namespace pelvane
