#include "platform/qt/QtMainLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <memory>
#include <thread>
#include <vector>

namespace kiv {
namespace {

// Runs the GUI thread's event loop until a task quits it, or gives up after a
// generous bound so a lost task fails the test instead of hanging it.
bool RunUntilQuit(QEventLoop& events) {
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        events.quit();
    });
    guard.start(10000);
    events.exec();
    return !timedOut;
}

TEST(QtMainLoopTest, PostedTasksRunLaterOnTheGuiThreadInOrder) {
    TQtMainLoop loop;
    std::vector<int> ran;
    for (int i = 0; i < 5; ++i) loop.Post([&ran, i] { ran.push_back(i); });
    EXPECT_TRUE(ran.empty());  // never inside Post, even on the GUI thread

    QEventLoop events;
    loop.Post([&] { events.quit(); });
    ASSERT_TRUE(RunUntilQuit(events));
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(QtMainLoopTest, TasksFromOtherThreadsRunOnTheGuiThreadInEachThreadsOrder) {
    TQtMainLoop loop;
    QThread* const gui = QThread::currentThread();
    constexpr int kPerThread = 500;
    std::vector<std::pair<int, int>> ran;  // touched by the GUI thread only
    bool allOnGui = true;

    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                loop.Post([&, t, i] {
                    allOnGui = allOnGui && QThread::currentThread() == gui;
                    ran.emplace_back(t, i);
                });
        });
    for (std::thread& poster : posters) poster.join();

    QEventLoop events;
    loop.Post([&] { events.quit(); });
    ASSERT_TRUE(RunUntilQuit(events));

    EXPECT_TRUE(allOnGui);
    ASSERT_EQ(ran.size(), 3u * kPerThread);
    std::vector<int> next(3, 0);
    for (auto [t, i] : ran) {
        EXPECT_EQ(i, next[t]) << "thread " << t;
        next[t] = i + 1;
    }
}

TEST(QtMainLoopTest, TasksStillQueuedWhenTheLoopGoesAreDropped) {
    bool ran = false;
    auto loop = std::make_unique<TQtMainLoop>();
    loop->Post([&] { ran = true; });
    loop.reset();

    // A second loop's task, posted afterwards, proves the queue was processed.
    TQtMainLoop later;
    QEventLoop events;
    later.Post([&] { events.quit(); });
    ASSERT_TRUE(RunUntilQuit(events));
    EXPECT_FALSE(ran);
}

TEST(QtMainLoopTest, LoopMadeOnAnotherThreadStillRunsTasksOnTheGuiThread) {
    std::unique_ptr<TQtMainLoop> loop;
    std::thread maker([&] { loop = std::make_unique<TQtMainLoop>(); });
    maker.join();

    QThread* ranOn = nullptr;
    QEventLoop events;
    loop->Post([&] {
        ranOn = QThread::currentThread();
        events.quit();
    });
    ASSERT_TRUE(RunUntilQuit(events));
    EXPECT_EQ(ranOn, QThread::currentThread());
}

TEST(QtMainLoopTest, EmptyTaskIsIgnored) {
    TQtMainLoop loop;
    loop.Post(std::function<void()>());
    QEventLoop events;
    bool ran = false;
    loop.Post([&] {
        ran = true;
        events.quit();
    });
    ASSERT_TRUE(RunUntilQuit(events));
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace kiv
