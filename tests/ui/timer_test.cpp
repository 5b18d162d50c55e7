// Timers by our own ids, on every backend.
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "tests/ui/driver.h"
#include "ui/dialog.h"

namespace pelvane::ui {
namespace {

const DialogTemplate kEmpty{.size = {50, 50}, .items = {}, .initStrings = {}};

class TickingDialog : public Dialog {
  public:
    TickingDialog() : Dialog(kEmpty) { Initialize(); }
    std::map<int, int> ticks;

  protected:
    void OnTimer(int id) override { ++ticks[id]; }
};

TEST(Timers, TicksArriveUnderTheirOwnIdsUntilKilledOrReplaced) {
    TickingDialog dialog;
    // 0 is a valid id of our own, unlike Qt's timer ids.
    dialog.SetTimer(0, 60);
    dialog.SetTimer(1, 20);
    dialog.SetTimer(5, 10);
    dialog.SetTimer(5, 100000);  // replaces the first timer 5
    EXPECT_TRUE(dialog.HasTimer(0));
    EXPECT_TRUE(testing::PumpUntil([&] { return dialog.ticks[0] >= 3; }));
    EXPECT_GT(dialog.ticks[1], dialog.ticks[0]);
    EXPECT_EQ(dialog.ticks[5], 0);

    EXPECT_TRUE(dialog.KillTimer(1));
    EXPECT_FALSE(dialog.KillTimer(1));
    EXPECT_FALSE(dialog.KillTimer(2));
    EXPECT_FALSE(dialog.HasTimer(1));
    const int before = dialog.ticks[1];
    testing::Pump(80);
    EXPECT_EQ(dialog.ticks[1], before);
    EXPECT_EQ(dialog.ticks.size(), 3u);
}

TEST(Timers, ABusyThreadGetsOneLateTickNotABacklog) {
    TickingDialog dialog;
    dialog.SetTimer(0, 20);
    ASSERT_TRUE(testing::PumpUntil([&] { return dialog.ticks[0] > 0; }));
    const int before = dialog.ticks[0];
    testing::Block(300);  // fifteen periods without the event loop
    const auto pumping = std::chrono::steady_clock::now();
    testing::Pump(0);
    testing::Pump(0);
    // A period that passes while the loop runs again brings a tick on time, not a backlog.
    const auto onTime =
        (std::chrono::steady_clock::now() - pumping) / std::chrono::milliseconds(20);
    EXPECT_LE(dialog.ticks[0] - before, 1 + onTime);
}

}  // namespace
}  // namespace pelvane::ui
