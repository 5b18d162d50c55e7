#pragma once

#include <QIcon>

namespace pelvane {

// The application icon in every size it ships in.
QIcon AppIcon();

}  // namespace pelvane
