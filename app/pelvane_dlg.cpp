#include "app/pelvane_dlg.h"

#include <vector>

#include "app/about_dlg.h"
#include "app/address_search.h"
#include "app/controller_text.h"
#include "app/resource.h"
#include "app/templates.h"
#include "controller/controller_link.h"
#include "controller/controller_state.h"
#include "controller/link_settings.h"
#include "controller/queries.h"
#include "kestrum.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/message_box.h"

namespace pelvane {

namespace {
constexpr const char* kCaptionConnected = "Pelvane-已链接";
constexpr const char* kCaptionDisconnected = "Pelvane-未链接";
}  // namespace

CPelvaneDlg::CPelvaneDlg(ui::Dialog* parent) : ui::Dialog(MainDialogTemplate(), parent) {}

bool CPelvaneDlg::OnInitDialog() {
    g_controllerHandle = nullptr;
    AddSystemMenuItem(kIdmAboutBox, kAboutMenuText);

    tabControl_ = ItemAs<ui::TabControl>(kIdcTab);
    tabControl_->InsertItem(0, "总线节点信息");
    tabControl_->InsertItem(1, "通 讯 诊  断");
    nodeInfo_.Create(*tabControl_);
    nodeError_.Create(*tabControl_);

    PlacePages();
    nodeInfo_.Show(true);
    nodeError_.Show(false);
    tabControl_->SetCurSel(0);

    Bind(kIdcConnect, ui::Notify::Clicked, [this] { OnConnect(); });
    Bind(kIdcDisconnect, ui::Notify::Clicked, [this] { OnDisconnect(); });
    Bind(kIdcAddress, ui::Notify::DropDown, [this] { OnSearchDropDown(); });
    // Enter in the Address box means "connect to this one".
    Bind(kIdcAddress, ui::Notify::EnterPressed, [this] { OnConnect(); });
    Bind(kIdcTab, ui::Notify::SelChange, [this] { OnTabSelChange(); });
    return true;
}

void CPelvaneDlg::PlacePages() {
    const ui::Rect area = tabControl_->PageArea();
    nodeError_.SetGeometry(area);
    nodeInfo_.SetGeometry(area);
}

void CPelvaneDlg::OnSize(const ui::Size&) {
    if (tabControl_ == nullptr) return;
    FollowSize(kIdcTab, ui::kAnchorAll);
    PlacePages();
}

void CPelvaneDlg::OnConnect() {
    CloseControllerLink();
    const std::string address = AddressForOpen(ItemText(kIdcAddress));
    if (OpenControllerLink(address.c_str()) != 0) {
        ui::MessageBox(this, "链接失败");
        SetCaption(kCaptionDisconnected);
        return;
    }
    SetCaption(kCaptionConnected);
    // Before anything else can paint: tab 1 never shows the last controller's nodes.
    nodeError_.ForgetLastPoll();

    ControllerIdentity identity;
    if (ReadControllerIdentity(&identity) != 0) return;
    SetItemText(kIdcIdentity, FormatIdentityLine(identity.model, identity.version, identity.id));
    nodeInfo_.RefreshNodeList();
}

void CPelvaneDlg::OnDisconnect() {
    if (CloseControllerLink()) SetCaption(kCaptionDisconnected);
}

void CPelvaneDlg::OnSearchDropDown() {
    std::vector<char> found(kSearchBufferSize, '\0');
    if (KST_SearchEth(found.data(), kSearchCapacity, kSearchTimeMs) != 0) return;
    auto* address = ItemAs<ui::ComboBox>(kIdcAddress);
    if (address == nullptr) return;
    found.back() = '\0';
    for (const std::string& entry : NewAddresses(address->Entries(), found.data()))
        address->AddString(entry);
}

void CPelvaneDlg::OnTabSelChange() {
    switch (tabControl_->CurSel()) {
        case 0:
            nodeInfo_.Show(true);
            nodeError_.Show(false);
            nodeInfo_.RefreshNodeList();
            break;
        case 1:
            nodeInfo_.Show(false);
            nodeError_.Show(true);
            nodeError_.RefreshErrorList();
            break;
        default:
            break;
    }
}

void CPelvaneDlg::OnSysCommand(uint32_t command) {
    if ((command & 0xFFF0) == kIdmAboutBox) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

}  // namespace pelvane
