#pragma once
// What outlives a connection: a session the shell dropped on purpose waits
// here for the client to come back with the auto-reconnect cookie of that
// connection. Shared by every connection thread of one server.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "tools/demo-server/ServerDesktop.h"

namespace kiv::demo {

struct TParkedSession {
    std::int32_t sessionNumber = 0;
    std::vector<TServerWindow> windows;  // back to front
    std::int64_t lastHandle = 0;
    int appsStarted = 0;
};

class TShellSessions {
public:
    // True the first time only: the one reconnection drop of the server's life.
    bool ClaimReconnectDrop();
    // Keyed by the logon id of the cookie the dropped connection handed out.
    void Park(std::uint32_t logonId, TParkedSession session);
    // The parked session, taken out; nullopt when none waits under that id.
    std::optional<TParkedSession> Resume(std::uint32_t logonId);

private:
    std::mutex mutex_;
    bool reconnectDropClaimed_ = false;
    std::map<std::uint32_t, TParkedSession> parked_;
};

}  // namespace kiv::demo
