#include "app/pelvane_app.h"

int main(int argc, char* argv[]) {
    pelvane::CPelvaneApp app(argc, argv);
    app.InitInstance();
    return 0;
}
