// The line's state from what each cycle found: when the report names a fault and when
// the served picture stops being current.
#include "gateway/line_watch.h"

#include <gtest/gtest.h>

namespace kestrum::gateway {
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
         {kUp, kLosingFrames, kNoReply, kNoLink, kPortGone, kAnotherMaster, kCirculating})
        EXPECT_EQ(LineConditionText(condition).find('.'), std::string_view::npos);
}

TEST(LineWatch, MoreThanOnePercentLostInTheLastSecondIsLosingFrames) {
    struct Step {
        int atMs;
        uint64_t sent, lost;
        LineCondition found, shown;
    };
    const Step steps[] = {
        {0, 0, 0, kUp, kUp},
        {500, 1000, 10, kUp, kUp},  // 1 %: not more
        {600, 1100, 12, kUp, kLosingFrames},
        {700, 1150, 12, kNoReply, kLosingFrames},  // a lost count is not yet no reply
        {800, 1300, 12, kNoLink, kNoLink},         // a fault comes first
        {1700, 1400, 12, kUp, kUp},                // the losses are more than a second old
    };
    LineWatch watch;
    const auto start = LineWatch::Clock::now();
    for (const Step& step : steps) {
        const auto now = start + milliseconds(step.atMs);
        watch.Observe(step.found, now);
        watch.Count(step.sent, step.lost, now);
        EXPECT_EQ(watch.Shown(now), step.shown) << step.atMs;
    }
    EXPECT_EQ(LineText(kLosingFrames, {3, 120}), "losing frames (3 of 120 in the last second)");
    EXPECT_EQ(LineText(kUp, {3, 120}), "up");
}

}  // namespace
}  // namespace kestrum::gateway
