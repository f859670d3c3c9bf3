#pragma once
// One accepted TCP connection, on its own thread: what the scenario does
// before answering (drop, stall), the client's first PDU read by the server
// itself, then the relay and the RDP session, and the closing record.
#include <winpr/wtypes.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "tools/demo-server/RdpSession.h"
#include "tools/demo-server/SocketRelay.h"

namespace kiv::demo {

// What all connections of one server share.
struct TServerShared {
    TPeerSettings peer;
    std::shared_ptr<const TScenario> scenario;
    std::shared_ptr<TOnceRegistry> once;
    std::shared_ptr<TShellSessions> shellSessions;
    TTranscript* transcript = nullptr;
    const TServerClock* clock = nullptr;
    // How long a connection may take to become a session, and be silent; 0: no limit.
    int handshakeTimeoutMs = 30000;
    int idleTimeoutMs = 900000;
};

class TConnection {
public:
    // Owns `clientFd`. `number` counts accepted connections from 1.
    TConnection(int clientFd, int number, std::string peerAddress, const TServerShared& shared);
    ~TConnection();
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    void Run();
    // From any thread: end the connection as soon as possible.
    void Stop();

private:
    enum class TWait { Due, Readable, Stopped };
    TWait WaitFor(std::int64_t untilMs, bool watchClient);
    std::optional<TSessionEnd> RunAcceptRules();
    TSessionEnd Stall();
    std::optional<TBytes> ReadFirstPdu(TSessionEnd& end);
    TSessionEnd Serve(const TBytes& firstPdu);
    void Drop();
    TJson Line(const char* event) const;

    int client_;
    int number_;
    std::string peerAddress_;
    const TServerShared& shared_;
    TRuleEngine engine_;
    int stopFd_;
    HANDLE stopEvent_;
    std::atomic<bool> stopped_{false};
    std::int64_t acceptedMs_ = 0;
    std::mutex relayMutex_;
    TSocketRelay* relay_ = nullptr;
};

}  // namespace kiv::demo
