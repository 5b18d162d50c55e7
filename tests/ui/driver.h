// What the dialog layer's common tests need of a backend beyond the surface: running
// its event loop, input as the user gives it, and reading back what the system shows.
// Each backend's test binary links its own driver.cpp.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/list_control.h"

namespace pelvane::ui::testing {

enum class Key { Enter, Escape, Tab };

// Runs the event loop, dialog keys included, until done() or timeoutMs have passed.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000);
// Runs the event loop for a short while.
void Pump(int ms = 50);
// Holds the thread without running the event loop, as a busy handler would.
void Block(int ms);

// Shows a window dialog and waits until it is the active window.
bool ShowActive(Dialog& dialog);
void Minimise(Dialog& dialog);
// A key pressed and released where the focus is.
void Press(Key key);
void Focus(const Dialog& dialog, int id);
bool HasFocus(const Dialog& dialog, int id);
// A click on the middle of a tab.
void ClickTab(const TabControl& tabs, int index);
// The bottom of the strip's tabs, in the control's coordinates.
int StripBottom(const TabControl& tabs);
// Runs action from inside the next modal loop, as a user's input would arrive there.
void RunInModalLoop(std::function<void()> action);
// True while a modal dialog or box keeps the user from owner.
bool OwnerWaits(const Dialog& owner);

// Whether the dialog has a window for item id, and the id the system knows it by.
bool HasItem(const Dialog& dialog, int id);
int SystemIdOf(const Dialog& dialog, int id);
bool ItemShown(const Dialog& dialog, int id);
// In the dialog's client coordinates.
Rect PlaceOf(const Dialog& dialog, int id);
Size ClientSize(const Dialog& dialog);
// The first character a one-line edit shows.
int FirstShownCharacter(const Dialog& dialog, int id);
// The caption as the system holds it.
std::string SystemCaption(const Dialog& dialog);
// The name a box without a window is captioned with.
std::string ProgramName();

// Pure red pixels of each row of a list as it shows on the screen, once the event loop
// has drawn what changed.
std::vector<int> RedPixelsPerRow(const ListControl& list);

}  // namespace pelvane::ui::testing
