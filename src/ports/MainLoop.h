#pragma once
// Hands work to the GUI thread. Adapters whose libraries call back on threads of
// their own (FreeRDP's worker, the port mapper) post every event through this, so
// the core only ever runs on the GUI thread.
#include <functional>

namespace kiv {

class IMainLoop {
public:
    virtual ~IMainLoop() = default;
    // Thread-safe; the task runs later on the GUI thread, in posting order.
    virtual void Post(std::function<void()> task) = 0;
};

}  // namespace kiv
