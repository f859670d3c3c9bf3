#include "tools/demo-server/Scenario.h"

#include <algorithm>

namespace kiv::demo {

bool IsDemoChannel(std::string_view name) {
    return std::find(kDemoChannels.begin(), kDemoChannels.end(), name) != kDemoChannels.end();
}

bool TBytePattern::Matches(const TBytes& message) const {
    if (message.size() < bytes.size()) return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] && *bytes[i] != message[i]) return false;
    }
    return true;
}

std::string_view ActionName(TActionKind kind) {
    switch (kind) {
        case TActionKind::Send: return "send";
        case TActionKind::Echo: return "echo";
        case TActionKind::ErrorInfo: return "error-info";
        case TActionKind::Close: return "close";
        case TActionKind::Drop: return "drop";
        case TActionKind::Stall: return "stall";
        case TActionKind::ReconnectCookie: return "reconnect-cookie";
    }
    return "?";
}

std::string_view TriggerName(TTriggerKind kind) {
    switch (kind) {
        case TTriggerKind::Accept: return "accept";
        case TTriggerKind::Logon: return "logon";
        case TTriggerKind::Connect: return "connect";
        case TTriggerKind::Receive: return "recv";
    }
    return "?";
}

}  // namespace kiv::demo
