#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <vector>

#include "platform/ui/WndTimers.h"

TEST(WndTimers, NumberedTimersTickUntilKilledAndRestartWithANewInterval) {
    std::vector<UINT> ticks;
    CWndTimers timers([&](UINT id) { ticks.push_back(id); });
    EXPECT_FALSE(timers.KillTimer(1));  // never set
    timers.SetTimer(1, 5000);
    timers.SetTimer(2, 1);
    timers.SetTimer(1, 10);  // the same id again: restarted, not a second timer
    EXPECT_EQ(timers.Interval(1), 10);
    QElapsedTimer clock;
    clock.start();
    auto count = [&](UINT id) { return std::count(ticks.begin(), ticks.end(), id); };
    while ((count(1) < 2 || count(2) < 2) && clock.elapsed() < 5000) QCoreApplication::processEvents();
    EXPECT_GE(count(1), 2);
    EXPECT_TRUE(timers.KillTimer(2));
    EXPECT_FALSE(timers.IsActive(2));
    EXPECT_TRUE(timers.IsActive(1));
    const auto after = count(2);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(count(2), after);
}
