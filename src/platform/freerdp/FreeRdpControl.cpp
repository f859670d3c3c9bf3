#include "platform/freerdp/FreeRdpControl.h"

#include <exception>

#include "infra/DebugLog.h"
#include "launch/FarmList.h"
#include "launch/ServerPath.h"
#include "platform/freerdp/FreeRdpSession.h"
#include "platform/freerdp/WorkerThreadSignals.h"
#include "session/RdpSettingsMapping.h"

namespace kiv {

namespace {

// Each event handler of the session logic catches its own exceptions; this is
// the last line, so one failing handler never takes the GUI loop down.
template <typename F>
void Guarded(const char* method, F&& call) {
    try {
        call();
    } catch (const std::exception& e) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[TFreeRdpControl.") + method + "]Exception:" + e.what());
    } catch (...) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[TFreeRdpControl.") + method + "]Exception:unknown");
    }
}

}  // namespace

TFreeRdpControl::TFreeRdpControl(IMainLoop& loop, ICertificatePrompt& prompt, TFreeRdpControlOptions options)
    : loop_(loop), prompt_(prompt), options_(std::move(options)) {
    if (options_.configPath.empty()) {
        // Without a folder of ours the library would make ~/.config/freerdp.
        const std::string userFolder = GetUserDataFolder();
        if (!userFolder.empty()) options_.configPath = userFolder + "freerdp";
    }
    if (options_.homeFolder.empty()) options_.homeFolder = HomeFolder();
    if (options_.connectTimeout.count() <= 0) options_.connectTimeout = std::chrono::milliseconds(20000);
    IgnoreBrokenPipeByDefault();
}

TFreeRdpControl::~TFreeRdpControl() {
    *alive_ = false;
    if (session_) session_->Shutdown();
}

void TFreeRdpControl::Connect() {
    if (session_ && !session_->Finished()) {
        if (DebugSwitches[dmMain]) WriteLog("[TFreeRdpControl.Connect]already connecting or connected");
        return;
    }
    if (session_) {
        session_->Shutdown();
        session_.reset();
    }
    TPlanEnvironment environment;
    environment.homeFolder = options_.homeFolder;
    environment.configPath = options_.configPath;
    environment.connectTimeoutMs = static_cast<uint32_t>(options_.connectTimeout.count());
    extendedReason_ = 0;
    connected_ = false;
    try {
        session_ = std::make_unique<TFreeRdpSession>(PlanRdpConnection(settings_, environment), options_.connectTimeout,
                                                     loop_, static_cast<ISessionObserver&>(*this));
        session_->EnableDisplayControl(options_.displayControl);
        session_->TrustFirstCertificate(options_.trustFirstCertificate);
        session_->Start();
    } catch (const std::exception& e) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[TFreeRdpControl.Connect]Exception:") + e.what());
        session_.reset();
        // A connection that cannot even start leaves the control unusable; the
        // event comes later, as every event of the control does.
        loop_.Post([this, alive = alive_] {
            if (*alive) OnSessionFatalError(0);
        });
    }
}

void TFreeRdpControl::Disconnect() {
    if (session_ && !session_->Finished()) session_->RequestDisconnect();
}

void TFreeRdpControl::SendOnVirtualChannel(const std::string& chanName, const TBytes& data) {
    if (!session_ || !connected_) return;
    if (!session_->Send(chanName, data) && DebugSwitches[dmMain])
        WriteLog("[TFreeRdpControl.SendOnVirtualChannel]" + chanName + " not sent");
}

void TFreeRdpControl::ReadFrame(const std::function<void(const TFrameView&)>& reader) {
    if (session_) session_->Display().ReadFrame(reader);
}

void TFreeRdpControl::SendMouseEvent(uint16_t flags, int32_t x, int32_t y) {
    if (session_) session_->Display().SendMouseEvent(flags, x, y);
}

void TFreeRdpControl::SendKeyEvent(uint32_t x11Keycode, bool down) {
    if (session_) session_->Display().SendKeyEvent(x11Keycode, down);
}

void TFreeRdpControl::SendUnicodeKey(uint16_t codeUnit, bool down) {
    if (session_) session_->Display().SendUnicodeKey(codeUnit, down);
}

bool TFreeRdpControl::RequestDesktopSize(int32_t width, int32_t height) {
    return session_ && options_.displayControl && session_->RequestDesktopSize(width, height);
}

void TFreeRdpControl::OnSessionConnecting() {
    connected_ = false;
    if (events_) Guarded("OnConnecting", [&] { events_->OnConnecting(); });
}

void TFreeRdpControl::OnSessionConnected() {
    connected_ = true;
    if (events_) Guarded("OnConnected", [&] { events_->OnConnected(); });
}

void TFreeRdpControl::OnSessionDisconnected(const TDisconnectReason& reason) {
    connected_ = false;
    extendedReason_ = reason.extended;
    if (DebugSwitches[dmMain])
        WriteLog("[TFreeRdpControl.OnDisconnected]Reason=" + std::to_string(reason.reason) +
                 " EReason=" + std::to_string(reason.extended));
    // The handler may destroy this control: nothing after the call touches it.
    if (events_) Guarded("OnDisconnected", [&] { events_->OnDisconnected(reason.reason); });
}

void TFreeRdpControl::OnSessionFatalError(int32_t errorCode) {
    connected_ = false;
    if (events_) Guarded("OnFatalError", [&] { events_->OnFatalError(errorCode); });
}

void TFreeRdpControl::OnSessionChannelData(const std::string& channel, const TBytes& data) {
    if (events_) Guarded("OnChannelReceivedData", [&] { events_->OnChannelReceivedData(channel, data); });
}

void TFreeRdpControl::OnSessionDesktopResized(int32_t width, int32_t height) {
    if (listener_) Guarded("OnDesktopResized", [&] { listener_->OnDesktopResized(width, height); });
}

void TFreeRdpControl::OnSessionFrameDamaged(const std::vector<TRect>& damaged) {
    if (listener_) Guarded("OnFrameDamaged", [&] { listener_->OnFrameDamaged(damaged); });
}

bool TFreeRdpControl::OnSessionCertificateQuestion(const TCertificateQuestion& question) {
    bool accepted = false;
    Guarded("AcceptCertificate", [&] { accepted = prompt_.AcceptCertificate(question); });
    return accepted;
}

}  // namespace kiv
