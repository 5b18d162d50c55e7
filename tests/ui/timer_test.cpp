#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <map>

#include "ui/dialog.h"

namespace pelvane::ui {
namespace {

const DialogTemplate& EmptyTemplate() {
    static const DialogTemplate dialogTemplate{
        .id = 1, .size = {50, 50}, .items = {}, .initStrings = {}};
    return dialogTemplate;
}

class TickingDialog : public Dialog {
  public:
    TickingDialog() : Dialog(EmptyTemplate()) {}
    std::map<int, int> ticks;

  protected:
    void OnTimer(int id) override { ++ticks[id]; }
};

TEST(Timers, TicksArriveUnderTheirOwnIds) {
    TickingDialog dialog;
    dialog.Initialize();
    // 0 is a valid id of our own, unlike Qt's timer ids.
    dialog.SetTimer(0, 60);
    dialog.SetTimer(1, 20);
    EXPECT_TRUE(dialog.HasTimer(0));
    QTest::qWait(400);
    EXPECT_GE(dialog.ticks[0], 3);
    EXPECT_GT(dialog.ticks[1], dialog.ticks[0]);
    EXPECT_EQ(dialog.ticks.size(), 2u);
}

TEST(Timers, SettingAnIdAgainReplacesItsTimer) {
    TickingDialog dialog;
    dialog.Initialize();
    dialog.SetTimer(5, 10);
    dialog.SetTimer(5, 10000);
    QTest::qWait(150);
    EXPECT_EQ(dialog.ticks[5], 0);
}

TEST(Timers, KilledTimersStopAndUnknownIdsAreRefused) {
    TickingDialog dialog;
    dialog.Initialize();
    dialog.SetTimer(1, 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.ticks[1] > 0; }, 2000));
    EXPECT_TRUE(dialog.KillTimer(1));
    EXPECT_FALSE(dialog.KillTimer(1));
    EXPECT_FALSE(dialog.KillTimer(2));
    const int before = dialog.ticks[1];
    QTest::qWait(80);
    EXPECT_EQ(dialog.ticks[1], before);
}

TEST(Timers, ABusyThreadGetsOneLateTickNotABacklog) {
    TickingDialog dialog;
    dialog.Initialize();
    dialog.SetTimer(0, 20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.ticks[0] > 0; }, 2000));
    const int before = dialog.ticks[0];
    QThread::msleep(300);  // fifteen periods without the event loop
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_LE(dialog.ticks[0] - before, 1);
}

}  // namespace
}  // namespace pelvane::ui
