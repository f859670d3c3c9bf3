#include "platform/qt/QtTimerFactory.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <chrono>
#include <memory>

#include "widget/DialogTestSupport.h"

namespace kiv {
namespace {

using test::WaitUntil;

// Runs the event loop for a while: long enough for a timer of a few
// milliseconds to have fired many times over.
void RunEventsFor(int ms) {
    bool done = false;
    QTimer::singleShot(ms, [&] { done = true; });
    ASSERT_TRUE(WaitUntil([&] { return done; }));
}

TEST(QtTimerFactoryTest, TimerRepeatsUntilItsHandlerStopsIt) {
    TQtTimerFactory factory;
    int ticks = 0;
    std::unique_ptr<ITimer> timer;
    timer = factory.CreateTimer([&] {
        if (++ticks == 3) timer->Stop();
    });
    EXPECT_FALSE(timer->Active());
    timer->Start(5);
    EXPECT_TRUE(timer->Active());
    EXPECT_EQ(ticks, 0);  // never inside Start
    ASSERT_TRUE(WaitUntil([&] { return !timer->Active(); }));
    EXPECT_EQ(ticks, 3);
    RunEventsFor(60);
    EXPECT_EQ(ticks, 3);
}

TEST(QtTimerFactoryTest, StoppedTimerDoesNotFireAndCanBeStartedAgain) {
    TQtTimerFactory factory;
    int ticks = 0;
    std::unique_ptr<ITimer> timer = factory.CreateTimer([&] { ++ticks; });
    timer->Start(5);
    timer->Stop();
    EXPECT_FALSE(timer->Active());
    RunEventsFor(60);
    EXPECT_EQ(ticks, 0);

    timer->Start(5);
    ASSERT_TRUE(WaitUntil([&] { return ticks >= 2; }));
    EXPECT_TRUE(timer->Active());
}

TEST(QtTimerFactoryTest, StartRestartsTheCountWithTheNewInterval) {
    TQtTimerFactory factory;
    int ticks = 0;
    std::unique_ptr<ITimer> timer = factory.CreateTimer([&] { ++ticks; });
    timer->Start(60000);
    timer->Start(5);  // the long interval is forgotten
    ASSERT_TRUE(WaitUntil([&] { return ticks >= 1; }));
}

TEST(QtTimerFactoryTest, HandlerMayDestroyItsOwnTimer) {
    TQtTimerFactory factory;
    int ticks = 0;
    std::unique_ptr<ITimer> timer;
    timer = factory.CreateTimer([&] {
        ++ticks;
        timer.reset();
    });
    timer->Start(1);
    ASSERT_TRUE(WaitUntil([&] { return timer == nullptr; }));
    RunEventsFor(30);
    EXPECT_EQ(ticks, 1);
}

TEST(QtTimerFactoryTest, DestroyedTimerNeverCallsItsHandler) {
    TQtTimerFactory factory;
    int ticks = 0;
    {
        std::unique_ptr<ITimer> timer = factory.CreateTimer([&] { ++ticks; });
        timer->Start(1);
    }
    RunEventsFor(30);
    EXPECT_EQ(ticks, 0);
}

TEST(QtTimerFactoryTest, NowIsTheWallClock) {
    TQtTimerFactory factory;
    const auto before = std::chrono::system_clock::now();
    const auto now = factory.Now();
    const auto after = std::chrono::system_clock::now();
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

}  // namespace
}  // namespace kiv
