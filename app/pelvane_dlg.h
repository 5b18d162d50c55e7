// The main window: the Controller group, where links to a controller are opened and
// closed, and the tab control with the two node pages.
#pragma once

#include <cstdint>

#include "pages/node_error.h"
#include "pages/node_info.h"
#include "ui/dialog.h"

namespace pelvane {

namespace ui {
class TabControl;
}  // namespace ui

class CPelvaneDlg : public ui::Dialog {
  public:
    explicit CPelvaneDlg(ui::Dialog* parent = nullptr);

    void OnConnect();
    void OnDisconnect();
    void OnSearchDropDown();
    void OnTabSelChange();

    NodeInfo& nodeInfo() { return nodeInfo_; }
    NodeError& nodeError() { return nodeError_; }

  protected:
    bool OnInitDialog() override;
    void OnSize(const ui::Size& clientSize) override;
    void OnSysCommand(uint32_t command) override;

  private:
    void PlacePages();

    NodeError nodeError_;
    NodeInfo nodeInfo_;
    ui::TabControl* tabControl_ = nullptr;
};

}  // namespace pelvane
