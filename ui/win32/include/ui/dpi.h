// Sizes given in pixels at 96 dots per inch, on screens of any density.
#pragma once

#include "ui/control.h"

namespace pelvane::ui {

// The dots per inch the window is drawn at.
int WindowDpi(Hwnd window);
int ScaleForDpi(int pixelsAt96Dpi, int dpi);
int UnscaleForDpi(int pixels, int dpi);

}  // namespace pelvane::ui
