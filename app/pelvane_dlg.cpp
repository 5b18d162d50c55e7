#include "pelvane_dlg.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <vector>

#include "about_dlg.h"
#include "address_search.h"
#include "app_icon.h"
#include "controller_link.h"
#include "controller_state.h"
#include "controller_text.h"
#include "kestrum.h"
#include "link_settings.h"
#include "queries.h"
#include "resource.h"
#include "templates.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/message_box.h"

namespace pelvane {

namespace {
const QString kCaptionConnected = QStringLiteral("Pelvane-已链接");
const QString kCaptionDisconnected = QStringLiteral("Pelvane-未链接");
}  // namespace

CPelvaneDlg::CPelvaneDlg(QWidget* parent)
    : ui::Dialog(MainDialogTemplate(), parent), icon_(AppIcon()) {}

bool CPelvaneDlg::OnInitDialog() {
    setWindowIcon(icon_);
    g_controllerHandle = nullptr;

    tabControl_ = ItemAs<ui::TabControl>(kIdcTab);
    tabControl_->InsertItem(0, QStringLiteral("总线节点信息"));
    tabControl_->InsertItem(1, QStringLiteral("通 讯 诊  断"));
    nodeInfo_.Create(tabControl_);
    nodeError_.Create(tabControl_);

    PlacePages();
    nodeInfo_.show();
    nodeError_.hide();
    tabControl_->SetCurSel(0);

    connect(ItemAs<QPushButton>(kIdcConnect), &QPushButton::clicked, this, &CPelvaneDlg::OnConnect);
    connect(ItemAs<QPushButton>(kIdcDisconnect), &QPushButton::clicked, this,
            &CPelvaneDlg::OnDisconnect);
    auto* address = ItemAs<ui::ComboBox>(kIdcAddress);
    connect(address, &ui::ComboBox::dropDown, this, &CPelvaneDlg::OnSearchDropDown);
    // Enter in the Address box means "connect to this one".
    connect(address, &ui::ComboBox::enterPressed, this, &CPelvaneDlg::OnConnect);
    connect(tabControl_, &ui::TabControl::selChange, this, &CPelvaneDlg::OnTabSelChange);
    return true;
}

void CPelvaneDlg::PlacePages() {
    const QRect area = tabControl_->PageArea();
    nodeError_.setGeometry(area);
    nodeInfo_.setGeometry(area);
}

void CPelvaneDlg::OnSize(const QSize&) {
    if (tabControl_ == nullptr) return;
    FollowSize(kIdcTab, ui::kAnchorAll);
    PlacePages();
}

void CPelvaneDlg::OnConnect() {
    if (g_controllerHandle != nullptr) {
        KST_Close(g_controllerHandle);
        g_controllerHandle = nullptr;
    }
    const std::string address = AddressForOpen(ItemText(kIdcAddress));
    if (OpenControllerLink(address.c_str()) != 0) {
        ui::MessageBox(this, QStringLiteral("链接失败"));
        setWindowTitle(kCaptionDisconnected);
        return;
    }
    setWindowTitle(kCaptionConnected);
    // Before anything else can paint: tab 1 never shows the last controller's nodes.
    nodeError_.ForgetLastPoll();

    char model[kIdentityFieldSize] = {};
    char version[kIdentityFieldSize] = {};
    char id[kIdentityFieldSize] = {};
    if (GetControllerInfo(model, version, id) != 0) return;
    SetItemText(kIdcIdentity, FormatIdentityLine(DecodeControllerField(model, sizeof model),
                                                 DecodeControllerField(version, sizeof version),
                                                 DecodeControllerField(id, sizeof id)));
    nodeInfo_.RefreshNodeList();
}

void CPelvaneDlg::OnDisconnect() {
    if (g_controllerHandle == nullptr) return;
    KST_Close(g_controllerHandle);
    g_controllerHandle = nullptr;
    setWindowTitle(kCaptionDisconnected);
}

void CPelvaneDlg::OnSearchDropDown() {
    std::vector<char> found(kSearchBufferSize, '\0');
    if (KST_SearchEth(found.data(), kSearchCapacity, kSearchTimeMs) != 0) return;
    auto* address = ItemAs<ui::ComboBox>(kIdcAddress);
    if (address == nullptr) return;
    found.back() = '\0';
    for (const QString& entry : NewAddresses(address->Entries(), found.data()))
        address->AddString(entry);
}

void CPelvaneDlg::OnTabSelChange() {
    switch (tabControl_->CurSel()) {
        case 0:
            nodeInfo_.show();
            nodeError_.hide();
            nodeInfo_.RefreshNodeList();
            break;
        case 1:
            nodeInfo_.hide();
            nodeError_.show();
            nodeError_.RefreshErrorList();
            break;
        default:
            break;
    }
}

void CPelvaneDlg::AddSystemMenuEntries(QMenu& menu) {
    const QString text = QString::fromUtf8(kAboutMenuText);
    if (text.isEmpty()) return;
    menu.addSeparator();
    QAction* about = menu.addAction(text);
    about->setData(kIdmAboutBox);
    connect(about, &QAction::triggered, this, [this] { OnSysCommand(kIdmAboutBox); });
}

void CPelvaneDlg::OnSysCommand(uint32_t command) {
    if ((command & 0xFFF0) == kIdmAboutBox) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

void CPelvaneDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    AddSystemMenuEntries(menu);
    menu.exec(event->globalPos());
}

}  // namespace pelvane
