// Where a control goes when its dialog changes size.
#pragma once

#include <cstdint>

#include "ui/geometry.h"

namespace pelvane::ui {

// Sides of the client area whose distance a control keeps.
enum Anchor : uint32_t {
    kAnchorLeft = 1u << 0,
    kAnchorTop = 1u << 1,
    kAnchorRight = 1u << 2,
    kAnchorBottom = 1u << 3,
    kAnchorAll = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom,
};

// The place of a control that sits at templateRect in a client of templateClient, in a
// client of size client. Anchored to both sides of an axis it stretches (never below 0);
// to the far side only it moves with it; otherwise it stays.
Rect FollowClient(const Rect& templateRect, const Size& templateClient, const Size& client,
                  uint32_t anchors);

}  // namespace pelvane::ui
