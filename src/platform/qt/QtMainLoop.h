#pragma once
// The GUI thread's queue for work that arrives on other threads (FreeRDP's
// worker, the port mapper). Tasks run from the Qt event loop, in posting order.
#include <atomic>
#include <memory>
#include <mutex>

#include "ports/MainLoop.h"

class QObject;

namespace kiv {

class TQtMainLoop final : public IMainLoop {
public:
    // Needs the QCoreApplication; the tasks run on its thread wherever this is made.
    TQtMainLoop();
    // Tasks still queued are dropped, not run. Destroy it on the GUI thread, or at
    // least not while a task of it runs.
    ~TQtMainLoop() override;
    TQtMainLoop(const TQtMainLoop&) = delete;
    TQtMainLoop& operator=(const TQtMainLoop&) = delete;

    void Post(std::function<void()> task) override;

private:
    // Shared with every queued task so a task that outlives the loop sees it is gone.
    std::shared_ptr<std::atomic<bool>> alive_;
    std::mutex receiverMutex_;
    QObject* receiver_ = nullptr;  // lives on the GUI thread; queued calls are delivered to it
};

}  // namespace kiv
