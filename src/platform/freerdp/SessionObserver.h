#pragma once
// What a FreeRDP connection reports to its control. Every call arrives on the
// GUI thread: the connection's threads only ever post (TGuiPoster).
#include <cstdint>
#include <string>
#include <vector>

#include "ports/CertificatePrompt.h"
#include "ports/RemoteDesktopControl.h"
#include "ports/RemoteDisplay.h"
#include "session/DisconnectReasonMap.h"

namespace kiv {

class ISessionObserver {
public:
    virtual ~ISessionObserver() = default;
    virtual void OnSessionConnecting() = 0;
    virtual void OnSessionConnected() = 0;
    virtual void OnSessionDisconnected(const TDisconnectReason& reason) = 0;
    virtual void OnSessionFatalError(int32_t errorCode) = 0;
    virtual void OnSessionChannelData(const std::string& channel, const TBytes& data) = 0;
    virtual void OnSessionDesktopResized(int32_t width, int32_t height) = 0;
    virtual void OnSessionFrameDamaged(const std::vector<TRect>& damaged) = 0;
    // true: accept the certificate for this session.
    virtual bool OnSessionCertificateQuestion(const TCertificateQuestion& question) = 0;
};

}  // namespace kiv
