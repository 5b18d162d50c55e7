#include "app_icon.h"

// The icons are linked in from a static library, whose resources are not registered
// unless something asks for them.
static void InitIconResources() {
    Q_INIT_RESOURCE(pelvane);
}

namespace pelvane {

QIcon AppIcon() {
    InitIconResources();
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/pelvane-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace pelvane
