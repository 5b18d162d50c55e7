// What every control that a template made has in common, whatever the system draws it
// with: its kind, by which Dialog::ItemAs tells one from another.
#pragma once

#include "ui/dialog_template.h"

namespace pelvane::ui {

class Control {
  public:
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    ItemKind kind() const { return kind_; }

  protected:
    explicit Control(ItemKind kind) : kind_(kind) {}

  private:
    ItemKind kind_;
};

}  // namespace pelvane::ui
