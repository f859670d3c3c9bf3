#pragma once
// The listening socket on 127.0.0.1 and the accept loop: every accepted
// connection runs on its own thread, any number of them at once.
#include <atomic>
#include <list>
#include <memory>
#include <thread>

#include "tools/demo-server/Connection.h"

namespace kiv::demo {

class TDemoServer {
public:
    explicit TDemoServer(TServerShared shared);
    ~TDemoServer();
    TDemoServer(const TDemoServer&) = delete;
    TDemoServer& operator=(const TDemoServer&) = delete;

    // Binds 127.0.0.1:port (0: a free port) and returns the port. Throws std::runtime_error.
    int Listen(int port);

    // Accepts until `stopFd` becomes readable, then stops every connection
    // and waits for their threads.
    void Run(int stopFd);

private:
    struct TSlot {
        std::unique_ptr<TConnection> connection;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void Accept();
    void Reap(bool all);

    TServerShared shared_;
    int listener_ = -1;
    int accepted_ = 0;
    std::list<TSlot> slots_;
};

}  // namespace kiv::demo
