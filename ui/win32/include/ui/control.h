// A control that a dialog template made: its window and its kind. Windows are named by
// their handle without windows.h, whose A/W macros would rename the program's calls.
#pragma once

#include "ui/dialog_template.h"

struct HWND__;

namespace pelvane::ui {

using Hwnd = HWND__*;

class Control {
  public:
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Hwnd hwnd() const { return hwnd_; }
    ItemKind kind() const { return kind_; }

  protected:
    Control(Hwnd hwnd, ItemKind kind) : hwnd_(hwnd), kind_(kind) {}

  private:
    Hwnd hwnd_;
    ItemKind kind_;
};

}  // namespace pelvane::ui
