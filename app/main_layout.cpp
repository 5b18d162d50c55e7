#include "main_layout.h"

#include <algorithm>

namespace pelvane {

QRect TabControlRect(const QSize& client, const QRect& templateRect, const QSize& templateClient) {
    const int rightMargin = templateClient.width() - (templateRect.x() + templateRect.width());
    const int bottomMargin = templateClient.height() - (templateRect.y() + templateRect.height());
    return {templateRect.x(), templateRect.y(),
            std::max(0, client.width() - templateRect.x() - rightMargin),
            std::max(0, client.height() - templateRect.y() - bottomMargin)};
}

}  // namespace pelvane
