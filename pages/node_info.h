// Tab 0: the nodes on the controller's bus and what they are.
#pragma once

#include "ui/dialog.h"
#include "ui/list_control.h"

namespace pelvane {

inline constexpr int kIdcNodeList = 1005;

class NodeInfo : public ui::Dialog {
  public:
    NodeInfo();

    // Reads every node from the controller into the node table and lists them; does
    // nothing while no controller is connected.
    void RefreshNodeList();

  protected:
    bool OnInitDialog() override;
    void OnSize(const ui::Size& clientSize) override;

  private:
    ui::ListControl* nodeList_ = nullptr;
};

const ui::DialogTemplate& NodeInfoTemplate();

}  // namespace pelvane
