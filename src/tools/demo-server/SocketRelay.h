#pragma once
// Carries bytes between the client's TCP connection and FreeRDP's end of a
// socket pair. The server needs it because it reads the client's first PDU
// itself (ConnectionRequest.h) and hands FreeRDP a mended copy; it also lets
// "drop" end the TCP connection without FreeRDP sending anything more.
#include <atomic>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

class TSocketRelay {
public:
    // Owns both descriptors. `firstForPeer` goes to the peer side before
    // anything read from the client.
    TSocketRelay(int clientFd, int peerFd, TBytes firstForPeer);
    ~TSocketRelay();
    TSocketRelay(const TSocketRelay&) = delete;
    TSocketRelay& operator=(const TSocketRelay&) = delete;

    // Until both sides have closed, or a drop or stop.
    void Run();

    // From any thread. Drop: pass on what the peer side has written so far,
    // then shut the TCP connection down. Stop: end at once.
    void Drop() { Request(kDrop); }
    void Stop() { Request(kStop); }

private:
    static constexpr int kDrop = 1;
    static constexpr int kStop = 2;
    void Request(int what);
    void FinishDrop();

    int client_;
    int peer_;
    int wake_;
    std::atomic<int> request_{0};
    TBytes toPeer_;
    TBytes toClient_;
};

}  // namespace kiv::demo
