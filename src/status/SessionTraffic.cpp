#include "status/SessionTraffic.h"

#include <algorithm>

#include "infra/CltNetSpd.h"

namespace kiv::status {

void TSessionTrafficList::Add(const TNetSpeedReport& report, int64_t nowMs) {
    auto it = std::find_if(sessions_.begin(), sessions_.end(), [&](const TSessionTraffic& s) {
        return s.ownerWindow == report.OwnerWindow && s.sessionId == report.SessionID;
    });
    if (it == sessions_.end()) {
        sessions_.push_back(TSessionTraffic{report.OwnerWindow, report.SessionID, {}, {}, {}, {}, {}, 0});
        it = sessions_.end() - 1;
    }
    it->serverName = report.ServerName;
    it->appName = report.AppName;
    it->serverSessionNo = report.ServerSessionNo;
    it->seconds.push_back({report.SentLastSecond, report.ReceivedLastSecond});
    while (it->seconds.size() > kHistorySeconds) it->seconds.pop_front();
    it->last = report;
    it->lastSeenMs = nowMs;
    lastReportMs_ = nowMs;
}

void TSessionTrafficList::Close(uint32_t sessionNumber) {
    std::erase_if(sessions_,
                  [&](const TSessionTraffic& s) { return TCltNetSpd::CloseLParam(s.sessionId) == sessionNumber; });
}

bool TSessionTrafficList::DropSilent(int64_t nowMs) {
    return std::erase_if(sessions_, [&](const TSessionTraffic& s) { return nowMs - s.lastSeenMs >= kSilentMs; }) > 0;
}

}  // namespace kiv::status
