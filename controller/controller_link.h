// Opening the one controller link, alike for the window and the headless programs.
#pragma once

#include <cstdint>

namespace pelvane {

// Opens a link to address with the connect time-out and sets the command time-out anew;
// on success g_controllerHandle holds the link. Returns the library's status.
int32_t OpenControllerLink(const char* address);
// Closes the link g_controllerHandle holds, if any, and clears it; true when one was open.
bool CloseControllerLink();

// True for the library's own failures (the link broke, or the controller stopped
// answering), as opposed to a controller that refused one command.
bool LinkFailed(int32_t status);

}  // namespace pelvane
