// Tab 1: the nodes' receive-error counters and drive status words.
#pragma once

#include "ui/dialog.h"

namespace pelvane {

inline constexpr int kNodeErrorTemplateId = 129;

class NodeError : public ui::Dialog {
    Q_OBJECT
  public:
    NodeError();

    void RefreshErrorList();
    int refreshCount() const { return refreshCount_; }

  private:
    int refreshCount_ = 0;
};

const ui::DialogTemplate& NodeErrorTemplate();

}  // namespace pelvane
