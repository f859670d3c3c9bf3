#pragma once
// Carries bytes between the client's TCP connection and FreeRDP's end of a
// socket pair. The server needs it because it reads the client's first PDU
// itself (ConnectionRequest.h) and hands FreeRDP a mended copy; it also lets
// "drop" end the TCP connection without FreeRDP sending anything more.
#include <atomic>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

// How long a connection may take to become a session, and stay silent in
// either direction; 0 is no limit.
struct TRelayLimits {
    int handshakeMs = 0;
    int idleMs = 0;
};

class TSocketRelay {
public:
    // Owns both descriptors. `firstForPeer` goes to the peer side before
    // anything read from the client.
    TSocketRelay(int clientFd, int peerFd, TBytes firstForPeer, TRelayLimits limits = {});
    ~TSocketRelay();
    TSocketRelay(const TSocketRelay&) = delete;
    TSocketRelay& operator=(const TSocketRelay&) = delete;

    // Until both sides have closed, or a drop, a stop or a limit. Whatever ends
    // it, both sockets are shut down on the way out, so FreeRDP, which may be
    // blocked reading its end (inside a TLS handshake), sees the end at once.
    void Run();
    // From any thread: the session is up, the handshake limit no longer applies.
    void Settled() { settled_ = true; }
    // After Run: whether a limit ended it.
    bool TimedOut() const { return timedOut_.load(); }

    // From any thread. Drop: pass on what the peer side has written so far,
    // then shut the TCP connection down. Stop: end at once.
    void Drop() { Request(kDrop); }
    void Stop() { Request(kStop); }

private:
    static constexpr int kDrop = 1;
    static constexpr int kStop = 2;
    void Request(int what);
    void FinishDrop();
    void Relay();

    int client_;
    int peer_;
    int wake_;
    TRelayLimits limits_;
    std::atomic<bool> settled_{false};
    std::atomic<bool> timedOut_{false};
    std::atomic<int> request_{0};
    TBytes toPeer_;
    TBytes toClient_;
};

}  // namespace kiv::demo
