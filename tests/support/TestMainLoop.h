#pragma once
// The GUI thread's loop for tests: tasks posted from any thread wait in a queue
// until the test thread drains them. Header-only, so every test binary can use
// it without a source file of its own.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "ports/MainLoop.h"

namespace kiv::test {

class TestMainLoop : public IMainLoop {
public:
    void Post(std::function<void()> task) override {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        wakeUp_.notify_all();
    }

    // Runs posted tasks on the calling thread until done() holds (checked before
    // and after each task) or the timeout passes. Returns done()'s last answer.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (done()) return true;
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                if (!wakeUp_.wait_until(lock, deadline, [&] { return !tasks_.empty(); })) break;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
        return done();
    }

    // Runs what is queued now, without waiting for more.
    void RunPending() {
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty()) return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable wakeUp_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace kiv::test
