#include "ui/layout.h"

#include <gtest/gtest.h>

namespace pelvane::ui {
namespace {

const Size kTemplateClient{970, 726};
const Rect kPlace{5, 73, 900, 594};  // 65 pixels from the right, 59 from the bottom

TEST(FollowClient, StretchedControlsKeepTheirPlaceAndTheTemplatesMargins) {
    EXPECT_EQ(FollowClient(kPlace, kTemplateClient, kTemplateClient, kAnchorAll), kPlace);
    EXPECT_EQ(FollowClient(kPlace, kTemplateClient, {1200, 900}, kAnchorAll),
              (Rect{5, 73, 1130, 768}));
    // Too small for the margins: nothing left, never a negative size.
    EXPECT_EQ(FollowClient(kPlace, kTemplateClient, {4, 100}, kAnchorAll), (Rect{5, 73, 0, 0}));
}

TEST(FollowClient, ControlsAnchoredToTheFarSideMoveWithIt) {
    EXPECT_EQ(FollowClient(kPlace, kTemplateClient, {1200, 900},
                           kAnchorTop | kAnchorRight | kAnchorBottom),
              (Rect{235, 73, 900, 768}));
    EXPECT_EQ(FollowClient(kPlace, kTemplateClient, {1200, 900}, kAnchorLeft | kAnchorTop), kPlace);
}

}  // namespace
}  // namespace pelvane::ui
