// The application: runs the main dialog, and the process ends when it closes.
#pragma once

#include "ui/application.h"

namespace pelvane {

class CPelvaneApp : public ui::Application {
  public:
    // The application's name stays the executable's name.
    CPelvaneApp(int& argc, char** argv);

    // Runs the main dialog modally. False: there is nothing left to run afterwards.
    bool InitInstance();
};

}  // namespace pelvane
