#pragma once
// One connection on FreeRDP: a worker thread that runs the library's connect
// call and then its event loop, until the session ends. Every callback of the
// library runs on that thread; what the control must hear is posted to the GUI
// thread (TGuiPoster). A session is used once: after its disconnected event it
// only waits to be destroyed.
//
// Lifetime: the control calls Shutdown() (or destroys the session, which does it)
// on the GUI thread. Shutdown cancels the posts still queued, refuses a
// certificate question the user has not answered, aborts the connection
// (breaking its sockets if the connect sequence hangs) and joins the worker.
#include <freerdp/freerdp.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "ports/MainLoop.h"
#include "platform/freerdp/CertificateGate.h"
#include "platform/freerdp/ConnectWatchdog.h"
#include "platform/freerdp/FreeRdpChannels.h"
#include "platform/freerdp/FreeRdpDisplay.h"
#include "platform/freerdp/FreeRdpDisplayControl.h"
#include "platform/freerdp/GuiPoster.h"
#include "platform/freerdp/SessionObserver.h"
#include "session/DisconnectReasonMap.h"
#include "session/RdpSettingsMapping.h"

namespace kiv {

class TFreeRdpSession {
public:
    TFreeRdpSession(TRdpConnectPlan plan, std::chrono::milliseconds connectTimeout, IMainLoop& loop,
                    ISessionObserver& observer);
    ~TFreeRdpSession();
    TFreeRdpSession(const TFreeRdpSession&) = delete;
    TFreeRdpSession& operator=(const TFreeRdpSession&) = delete;

    // GUI thread.
    void Start();
    void RequestDisconnect();
    void Shutdown();
    bool Finished() const { return finished_.load(); }

    // Any thread.
    bool Send(const std::string& channel, const TBytes& message);
    TFreeRdpDisplay& Display() { return display_; }
    // Before Start: offer the server to change the desktop size while the session runs.
    void EnableDisplayControl(bool enabled) { displayControlEnabled_ = enabled; }
    // Before Start: remember an unverified first certificate without asking.
    void TrustFirstCertificate(bool trusted) { trustFirstCertificate_ = trusted; }
    bool RequestDesktopSize(int32_t width, int32_t height) { return displayControl_.RequestSize(width, height); }

    // The library's callbacks, reached through the context.
    BOOL OnPreConnect(freerdp* instance);
    BOOL OnPostConnect(freerdp* instance);
    void OnPostDisconnect(freerdp* instance);
    bool AskAboutCertificate(const TCertificateQuestion& question);
    DWORD OnVerifyCertificate(const char* host, UINT16 port, const char* subject, const char* issuer,
                              const char* fingerprint, DWORD flags);
    DWORD OnVerifyChangedCertificate(const char* host, UINT16 port, const char* subject, const char* issuer,
                                     const char* fingerprint, const char* oldFingerprint, DWORD flags);
    void OnErrorInfo(uint32_t code);
    // The server's logon notification: a refused logon ends the session here.
    void OnLogonErrorInfo(uint32_t data, uint32_t type);
    bool KeepReconnecting() const { return !stopRequested_.load(); }

private:
    enum class TPhase { Starting, Connecting, Live, Reconnecting, Ending };

    void Run();
    TDisconnectFacts RunSession(freerdp* instance);
    TDisconnectFacts EventLoop(freerdp* instance);
    bool ShouldReconnect(freerdp* instance) const;
    TDisconnectFacts CollectFacts(freerdp* instance) const;
    void Abort(bool breakSockets);
    // From here on no other thread touches the instance.
    void EnterEnding();
    void Finish(const TDisconnectFacts& facts);

    TRdpConnectPlan plan_;
    std::chrono::milliseconds connectTimeout_;
    TGuiPoster poster_;
    TFreeRdpChannels channels_;
    TFreeRdpDisplay display_;
    TFreeRdpDisplayControl displayControl_;
    bool displayControlEnabled_ = false;
    TCertificateGate certificates_;
    TConnectWatchdog watchdog_;

    std::mutex instanceMutex_;  // instance_ is there from context creation to context release
    freerdp* instance_ = nullptr;
    std::thread worker_;

    std::atomic<TPhase> phase_{TPhase::Starting};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> localRequest_{false};
    std::atomic<bool> finished_{false};
    // Facts gathered on the worker thread.
    bool trustFirstCertificate_ = false;
    std::atomic<bool> certificateSeen_{false};
    std::atomic<bool> certificateRefused_{false};
    std::atomic<bool> sessionLive_{false};
    std::atomic<uint32_t> errorInfo_{0};
    std::atomic<bool> logonRefused_{false};  // the server's logon notification said so
};

}  // namespace kiv
