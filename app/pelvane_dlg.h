// The main window: the Controller group, where links to a controller are opened and
// closed, and the tab control with the two node pages.
#pragma once

#include <QIcon>

#include "node_error.h"
#include "node_info.h"
#include "ui/dialog.h"

class QMenu;

namespace pelvane {

namespace ui {
class ComboBox;
class TabControl;
}  // namespace ui

class CPelvaneDlg : public ui::Dialog {
    Q_OBJECT
  public:
    explicit CPelvaneDlg(QWidget* parent = nullptr);

    void OnConnect();
    void OnDisconnect();
    void OnSearchDropDown();
    void OnTabSelChange();
    void OnSysCommand(uint32_t command);

    // The desktop keeps the window's system menu to itself, so its entries go into the
    // menu of the dialog's background.
    void AddSystemMenuEntries(QMenu& menu);

    NodeInfo& nodeInfo() { return nodeInfo_; }
    NodeError& nodeError() { return nodeError_; }

  protected:
    bool OnInitDialog() override;
    void OnSize(const QSize& clientSize) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void PlacePages();

    NodeError nodeError_;
    NodeInfo nodeInfo_;
    QIcon icon_;
    ui::TabControl* tabControl_ = nullptr;
};

}  // namespace pelvane
