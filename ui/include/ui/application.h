// The application object: one per process, made before any dialog.
#pragma once

#include <memory>

namespace pelvane::ui {

// The application's icon: on Windows the program's icon resource of this id; on
// Linux the PNG files built in under :/app-icon/, named by their size ("16.png").
inline constexpr int kAppIconResource = 1;

class Application {
  public:
    // desktopName names the program to the desktop (its .desktop entry on Linux).
    Application(int& argc, char** argv, const char* desktopName);
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

  private:
    struct System;
    std::unique_ptr<System> system_;
};

}  // namespace pelvane::ui
