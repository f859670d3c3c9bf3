#pragma once
// What the status window knows about the running sessions: one entry per
// session window that reported, with the last minute of per-second figures.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "infra/NetSpeedReport.h"

namespace kiv::status {

struct TSessionSecond {
    int64_t sent = 0;
    int64_t received = 0;
};

struct TSessionTraffic {
    uint32_t ownerWindow = 0;
    std::string sessionId;
    std::string serverName;
    std::string appName;
    std::string serverSessionNo;
    std::deque<TSessionSecond> seconds;  // oldest first, at most kHistorySeconds
    TNetSpeedReport last;
    int64_t lastSeenMs = 0;
};

class TSessionTrafficList {
public:
    static constexpr std::size_t kHistorySeconds = 60;
    // A session that reported nothing for this long has gone (its client died).
    static constexpr int64_t kSilentMs = 5000;

    void Add(const TNetSpeedReport& report, int64_t nowMs);
    // The close message names the session by the number in its id.
    void Close(uint32_t sessionNumber);
    // Drops sessions silent for kSilentMs; true when any went.
    bool DropSilent(int64_t nowMs);
    const std::vector<TSessionTraffic>& Sessions() const { return sessions_; }
    int64_t LastReportMs() const { return lastReportMs_; }

private:
    std::vector<TSessionTraffic> sessions_;
    int64_t lastReportMs_ = -1;
};

}  // namespace kiv::status
