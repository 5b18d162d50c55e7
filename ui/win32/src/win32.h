// The Windows headers as this backend's sources see them.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif

#include <windows.h>
// Wider than windows.h's own slimmed set: the common controls.
#include <commctrl.h>

// The A/W name would rename ui::MessageBox in our sources only, and the program would
// find no definition of the name it calls.
#undef MessageBox
