// The program's one kind of message: modal, captioned with the application's name,
// an OK button and no icon.
#pragma once

#include <functional>
#include <string>

namespace pelvane::ui {

class Dialog;

// Returns when the user has closed the box. Text is UTF-8.
void MessageBox(Dialog* parent, const std::string& text);

// A box as its hook sees it while it is open.
struct OpenMessageBox {
    std::string caption;
    std::string text;
    std::function<void()> close;  // as the OK button does
};

// Runs once each box is open, inside its modal loop; tests read and close it there.
// An empty hook removes it.
void SetMessageBoxHook(std::function<void(const OpenMessageBox&)> hook);

}  // namespace pelvane::ui
