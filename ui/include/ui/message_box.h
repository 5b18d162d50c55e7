// The program's one kind of message: modal, captioned with the application's name,
// an OK button and no icon.
#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace pelvane::ui {

// Returns when the user has closed the box.
void MessageBox(QWidget* parent, const QString& text);

// Runs once each box is open, inside its modal loop; tests read and close it there.
// An empty hook removes it.
void SetMessageBoxHook(std::function<void(QMessageBox&)> hook);

}  // namespace pelvane::ui
