// Where the main window's tab control goes when the window changes size.
#pragma once

#include <QRect>
#include <QSize>

namespace pelvane {

// The tab control keeps its template position and the template's right and bottom
// margins; it shrinks to nothing rather than beyond.
QRect TabControlRect(const QSize& client, const QRect& templateRect, const QSize& templateClient);

}  // namespace pelvane
