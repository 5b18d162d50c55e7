#include "ui/layout.h"

#include <algorithm>

namespace pelvane::ui {
namespace {

struct Span {
    int start;
    int length;
};

Span Follow(Span span, int templateExtent, int extent, bool nearSide, bool farSide) {
    const int farMargin = templateExtent - (span.start + span.length);
    if (nearSide && farSide) return {span.start, std::max(0, extent - span.start - farMargin)};
    if (farSide) return {extent - farMargin - span.length, span.length};
    return span;
}

}  // namespace

Rect FollowClient(const Rect& templateRect, const Size& templateClient, const Size& client,
                  uint32_t anchors) {
    const Span x = Follow({templateRect.x, templateRect.width}, templateClient.width, client.width,
                          anchors & kAnchorLeft, anchors & kAnchorRight);
    const Span y = Follow({templateRect.y, templateRect.height}, templateClient.height,
                          client.height, anchors & kAnchorTop, anchors & kAnchorBottom);
    return {x.start, y.start, x.length, y.length};
}

}  // namespace pelvane::ui
