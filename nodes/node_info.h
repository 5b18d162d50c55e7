// Tab 0: the nodes on the controller's bus and what they are.
#pragma once

#include "ui/dialog.h"

namespace pelvane {

inline constexpr int kNodeInfoTemplateId = 130;

class NodeInfo : public ui::Dialog {
    Q_OBJECT
  public:
    NodeInfo();

    void RefreshNodeList();
    int refreshCount() const { return refreshCount_; }

  protected:
    bool OnInitDialog() override;

  private:
    int refreshCount_ = 0;
};

const ui::DialogTemplate& NodeInfoTemplate();

}  // namespace pelvane
