// The line's state from what each cycle found: when the report names a fault and when
// the served picture stops being current.
#include "gateway/line_watch.h"

#include <gtest/gtest.h>

namespace pelvane::gateway {
namespace {

using std::chrono::milliseconds;
using enum LineCondition;

TEST(LineWatch, AFaultIsNamedAndEmptiesTheBusOnlyOnceItLasts) {
    struct Step {
        int atMs;
        LineCondition found;
        LineCondition shown;
        bool stale;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"a lost frame now and then is still a line that is up",
         {{0, kNoReply, kUp, false}, {10, kUp, kUp, false}, {20, kNoReply, kUp, false}}},
        {"no reply for 200 ms",
         {{0, kUp, kUp, false},
          {10, kNoReply, kUp, false},
          {150, kNoReply, kUp, false},
          {210, kNoReply, kNoReply, true}}},
        {"a port fault is named at once, the picture stays for 200 ms",
         {{0, kNoLink, kNoLink, false},
          {199, kNoLink, kNoLink, false},
          {200, kNoLink, kNoLink, true}}},
        {"a fault that changes kind keeps its age",
         {{0, kNoReply, kUp, false},
          {100, kPortGone, kPortGone, false},
          {210, kNoLink, kNoLink, true}}},
        {"a complete scan ends it",
         {{0, kCirculating, kCirculating, false},
          {300, kAnotherMaster, kAnotherMaster, true},
          {310, kUp, kUp, false},
          {320, kNoReply, kUp, false}}},
    };
    for (const Case& c : cases) {
        LineWatch watch;
        const auto start = LineWatch::Clock::now();
        for (const Step& step : c.steps) {
            const auto now = start + milliseconds(step.atMs);
            watch.Observe(step.found, now);
            EXPECT_EQ(watch.Shown(now), step.shown) << c.what << " at " << step.atMs;
            EXPECT_EQ(watch.Stale(now), step.stale) << c.what << " at " << step.atMs;
        }
    }
    for (LineCondition condition :
         {kUp, kNoReply, kNoLink, kPortGone, kAnotherMaster, kCirculating})
        EXPECT_EQ(LineConditionText(condition).find('.'), std::string_view::npos);
}

}  // namespace
}  // namespace pelvane::gateway
