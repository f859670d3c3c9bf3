#include "tools/demo-server/RdpSession.h"

#include <freerdp/channels/channels.h>
#include <freerdp/channels/wtsvc.h>
#include <freerdp/freerdp.h>
#include <freerdp/peer.h>
#include <freerdp/session.h>
#include <freerdp/settings.h>
#include <openssl/rand.h>
#include <poll.h>
#include <winpr/synch.h>
#include <winpr/wtsapi.h>

#include <algorithm>

namespace kiv::demo {

namespace {

// FreeRDP allocates this in place of its own context; rdpContext stays first.
struct TPeerContext {
    rdpContext base;
    HANDLE vcm;
    TRdpSession* session;
};

TPeerContext* ContextOf(freerdp_peer* peer) { return reinterpret_cast<TPeerContext*>(peer->context); }
TRdpSession* SessionOf(freerdp_peer* peer) { return ContextOf(peer)->session; }
TRdpSession* SessionOf(rdpContext* context) { return reinterpret_cast<TPeerContext*>(context)->session; }

BOOL OnContextNew(freerdp_peer*, rdpContext* context) {
    auto* own = reinterpret_cast<TPeerContext*>(context);
    own->vcm = WTSOpenServerA(reinterpret_cast<LPSTR>(context));
    if (!own->vcm || own->vcm == INVALID_HANDLE_VALUE) {
        own->vcm = nullptr;
        return FALSE;
    }
    return TRUE;
}

void OnContextFree(freerdp_peer*, rdpContext* context) {
    auto* own = reinterpret_cast<TPeerContext*>(context);
    if (own && own->vcm) WTSCloseServer(own->vcm);
}

// The capability exchange starts once the logon information is in: the
// last moment to refuse the logon or change the announced desktop size.
BOOL OnCapabilities(freerdp_peer* peer) { return SessionOf(peer)->OnLogon() ? TRUE : FALSE; }
BOOL OnPostConnect(freerdp_peer*) { return TRUE; }
BOOL OnPeerActivate(freerdp_peer* peer) { return SessionOf(peer)->OnActivate() ? TRUE : FALSE; }

BOOL OnRefreshRect(rdpContext* context, BYTE count, const RECTANGLE_16* areas) {
    for (BYTE i = 0; i < count; ++i) {
        SessionOf(context)->OnRefresh(
            TArea{areas[i].left, areas[i].top, areas[i].right - areas[i].left, areas[i].bottom - areas[i].top});
    }
    return TRUE;
}

BOOL OnSuppressOutput(rdpContext*, BYTE, const RECTANGLE_16*) { return TRUE; }

// What the client types as keys (the input-method window passes plain keys on).
BOOL OnKeyboard(rdpInput* input, UINT16 flags, UINT16 code) {
    const int extended = (flags & KBD_FLAGS_EXTENDED) ? 0x100 : 0;
    SessionOf(input->context)->OnKey(code | extended, (flags & KBD_FLAGS_RELEASE) == 0);
    return TRUE;
}

std::string SettingString(rdpSettings* settings, size_t id) {
    const char* value = freerdp_settings_get_string(settings, id);
    return value ? value : "";
}

constexpr std::int64_t kFlushMs = 1000;

}  // namespace

std::string_view SessionEndName(TSessionEnd end) {
    switch (end) {
        case TSessionEnd::Client: return "client";
        case TSessionEnd::Close: return "close";
        case TSessionEnd::Drop: return "drop";
        case TSessionEnd::Stop: return "stop";
        case TSessionEnd::Error: return "error";
        case TSessionEnd::Timeout: return "timeout";
    }
    return "error";
}

TRdpSession::TRdpSession(int connection, const TPeerSettings& settings, TTranscript& transcript,
                         const TServerClock& clock, TRuleEngine& engine, TShellSessions& shellSessions,
                         TClientHello hello, std::function<void()> dropTcp, std::function<void()> settled)
    : connection_(connection),
      settings_(settings),
      transcript_(transcript),
      clock_(clock),
      engine_(engine),
      shellSessions_(shellSessions),
      hello_(std::move(hello)),
      dropTcp_(std::move(dropTcp)),
      settled_(std::move(settled)),
      desktop_(TDesktopPattern(settings.color)),
      painter_(desktop_) {
    if (settings_.shell.enabled)
        shell_ = std::make_unique<TDemoShell>(settings_.shell, shellSessions_, desktop_,
                                              static_cast<IShellOutput&>(*this), connection_);
}

TRdpSession::~TRdpSession() {
    // The channels go before the manager that owns them.
    displayControl_.reset();
    channels_.CloseAll();
    if (peer_) {
        if (peer_->context) {
            peer_->Disconnect(peer_);
            freerdp_peer_context_free(peer_);
        }
        freerdp_peer_free(peer_);
    }
}

TJson TRdpSession::Line(const char* event) const {
    TJson line;
    line["event"] = event;
    line["connection"] = connection_;
    return line;
}

bool TRdpSession::Start(int fd) {
    peer_ = freerdp_peer_new(fd);
    if (!peer_) return false;
    std::snprintf(peer_->hostname, sizeof peer_->hostname, "127.0.0.1");
    peer_->local = TRUE;
    peer_->ContextSize = sizeof(TPeerContext);
    peer_->ContextNew = OnContextNew;
    peer_->ContextFree = OnContextFree;
    if (!freerdp_peer_context_new(peer_)) return false;
    ContextOf(peer_)->session = this;
    vcm_ = ContextOf(peer_)->vcm;

    rdpSettings* settings = peer_->settings;
    const bool nla = settings_.samFile.has_value();
    freerdp_settings_set_string(settings, FreeRDP_CertificateFile, settings_.certificateFile.c_str());
    freerdp_settings_set_string(settings, FreeRDP_PrivateKeyFile, settings_.keyFile.c_str());
    freerdp_settings_set_bool(settings, FreeRDP_RdpSecurity, FALSE);
    // With NLA the server insists on it: a client that offers only TLS is refused.
    freerdp_settings_set_bool(settings, FreeRDP_TlsSecurity, nla ? FALSE : TRUE);
    freerdp_settings_set_bool(settings, FreeRDP_NlaSecurity, nla ? TRUE : FALSE);
    if (nla) freerdp_settings_set_string(settings, FreeRDP_NtlmSamFile, settings_.samFile->c_str());
    // FreeRDP keeps the smaller of this and the client's depth: at 32 the logon records what the client asked for.
    freerdp_settings_set_uint32(settings, FreeRDP_ColorDepth, 32);
    freerdp_settings_set_bool(settings, FreeRDP_SurfaceFrameMarkerEnabled, TRUE);
    freerdp_settings_set_bool(settings, FreeRDP_RefreshRect, TRUE);
    freerdp_settings_set_bool(settings, FreeRDP_SuppressOutput, TRUE);
    freerdp_settings_set_uint32(settings, FreeRDP_MultifragMaxRequestSize, 0xFFFFFF);

    peer_->Capabilities = OnCapabilities;
    peer_->PostConnect = OnPostConnect;
    peer_->Activate = OnPeerActivate;
    peer_->update->RefreshRect = OnRefreshRect;
    peer_->update->SuppressOutput = OnSuppressOutput;
    peer_->input->KeyboardEvent = OnKeyboard;
    return peer_->Initialize(peer_);
}

bool TRdpSession::OnLogon() {
    if (logonSeen_) return true;
    logonSeen_ = true;
    RecordLogon();
    OpenChannels();
    rdpSettings* settings = peer_->settings;
    if (settings_.width)
        freerdp_settings_set_uint32(settings, FreeRDP_DesktopWidth, static_cast<UINT32>(*settings_.width));
    if (settings_.height) {
        freerdp_settings_set_uint32(settings, FreeRDP_DesktopHeight, static_cast<UINT32>(*settings_.height));
    }
    engine_.Fire(TTriggerKind::Logon, clock_.NowMs());
    return true;
}

void TRdpSession::RecordLogon() {
    rdpSettings* settings = peer_->settings;
    TJson line = Line("logon");
    line["user"] = SettingString(settings, FreeRDP_Username);
    line["domain"] = SettingString(settings, FreeRDP_Domain);
    // Transcripts end up in bug reports: the password only when asked for.
    const std::string password = SettingString(settings, FreeRDP_Password);
    line["password"] = settings_.transcriptSecrets || password.empty() ? password : std::string(8, '*');
    line["alternate_shell"] = SettingString(settings, FreeRDP_AlternateShell);
    line["working_dir"] = SettingString(settings, FreeRDP_ShellWorkingDirectory);
    line["routing_token_hex"] = ToHex(hello_.routingToken);
    line["cookie"] = hello_.cookie;
    line["width"] = freerdp_settings_get_uint32(settings, FreeRDP_DesktopWidth);
    line["height"] = freerdp_settings_get_uint32(settings, FreeRDP_DesktopHeight);
    line["color_depth"] = freerdp_settings_get_uint32(settings, FreeRDP_ColorDepth);
    line["performance_flags"] = freerdp_settings_get_uint32(settings, FreeRDP_PerformanceFlags);
    line["security"] = freerdp_settings_get_bool(settings, FreeRDP_NlaSecurity) ? "nla" : "tls";
    const ARC_CS_PRIVATE_PACKET* cookie = settings->ClientAutoReconnectCookie;
    if (cookie && cookie->cbLen >= 28) {
        line["auto_reconnect_logon_id"] = cookie->logonId;
        reconnectLogonId_ = cookie->logonId;
    } else {
        line["auto_reconnect_logon_id"] = nullptr;
    }
    transcript_.Write(std::move(line));
}

void TRdpSession::OpenChannels() {
    for (const TJoinedChannel& channel : channels_.OpenJoined(peer_, vcm_)) {
        TJson line = Line("channel");
        line["name"] = channel.name;
        line["options"] = channel.options;
        line["opened"] = channel.opened;
        transcript_.Write(std::move(line));
    }
}

bool TRdpSession::OnActivate() {
    if (!activated_) activatePending_ = true;
    return true;
}

void TRdpSession::OnRefresh(const TArea& area) { refreshes_.push_back(area); }

void TRdpSession::ReadChannels() {
    for (auto& [channel, message] : channels_.ReadAll()) {
        TJson line = Line("recv");
        line["channel"] = channel;
        line["hex"] = ToHex(message);
        transcript_.Write(std::move(line));
        engine_.Receive(channel, message, clock_.NowMs());
        if (shell_ && !shellEnd_) shell_->OnReceive(channel, message, clock_.NowMs());
    }
}

void TRdpSession::Send(const std::string& channel, const TBytes& bytes) {
    TJson line = Line("send");
    line["channel"] = channel;
    line["hex"] = ToHex(bytes);
    switch (channels_.Write(channel, bytes)) {
        case TChannelWrite::Queued: break;
        case TChannelWrite::NotJoined:
            line["event"] = "send-failed";
            line["why"] = "channel not joined";
            break;
        case TChannelWrite::Refused:
            line["event"] = "send-failed";
            line["why"] = "write refused";
            break;
    }
    transcript_.Write(std::move(line));
}

void TRdpSession::SetErrorInfo(std::uint32_t code) {
    freerdp_set_error_info(peer_->context->rdp, code);
    TJson line = Line("error-info");
    line["code"] = code;
    transcript_.Write(std::move(line));
}

void TRdpSession::Close() {
    if (!shellEnd_) shellEnd_ = TSessionEnd::Close;
}

void TRdpSession::Drop() {
    if (!shellEnd_) shellEnd_ = TSessionEnd::Drop;
}

void TRdpSession::Repaint(const TWindowRect& area) {
    if (activated_) painter_.Paint(peer_, TArea{area.left, area.top, area.Width(), area.Height()});
}

void TRdpSession::OnKey(int code, bool down) {
    TJson line = Line("key");
    line["code"] = code;
    line["down"] = down;
    transcript_.Write(std::move(line));
}

void TRdpSession::Record(TJson line) {
    TJson out = Line(line.value("event", "shell").c_str());
    for (auto it = line.begin(); it != line.end(); ++it)
        if (it.key() != "event") out[it.key()] = it.value();
    transcript_.Write(std::move(out));
}

TSessionEnd TRdpSession::EndNow(TSessionEnd how) {
    FlushOutput();
    if (how == TSessionEnd::Drop) {
        dropTcp_();
    } else {
        peer_->Close(peer_);
        FlushOutput();
    }
    return how;
}

std::optional<std::int64_t> TRdpSession::NextDueMs() const {
    std::optional<std::int64_t> due = engine_.NextDueMs();
    if (shell_) {
        if (const auto shellDue = shell_->NextDueMs(); shellDue && (!due || *shellDue < *due)) due = shellDue;
    }
    return due;
}

void TRdpSession::SendReconnectCookie() {
    logon_info_ex info{};
    info.haveCookie = TRUE;
    info.LogonId = static_cast<UINT32>(connection_);
    RAND_bytes(info.ArcRandomBits, sizeof info.ArcRandomBits);
    TJson line = Line("reconnect-cookie");
    line["logon_id"] = info.LogonId;
    if (!peer_->update->SaveSessionInfo ||
        !peer_->update->SaveSessionInfo(peer_->context, INFO_TYPE_LOGON_EXTENDED_INF, &info)) {
        line["event"] = "reconnect-cookie-failed";
    }
    transcript_.Write(std::move(line));
}

bool TRdpSession::AcceptTlsLogon() {
    if (!settings_.tlsPassword || SettingString(peer_->settings, FreeRDP_Password) == *settings_.tlsPassword)
        return true;
    logon_info_ex info{};
    info.haveErrorInfo = TRUE;
    info.ErrorNotificationType = LOGON_FAILED_BAD_PASSWORD;
    info.ErrorNotificationData = LOGON_MSG_SESSION_TERMINATE;
    TJson line = Line("logon-refused");
    line["sent"] = peer_->update->SaveSessionInfo &&
                   peer_->update->SaveSessionInfo(peer_->context, INFO_TYPE_LOGON_EXTENDED_INF, &info);
    transcript_.Write(std::move(line));
    return false;
}

// Queued channel writes go out, and whatever FreeRDP still buffers reaches the socket.
void TRdpSession::FlushOutput() {
    WTSVirtualChannelManagerCheckFileDescriptor(vcm_);
    const std::int64_t deadline = clock_.NowMs() + kFlushMs;
    while (peer_->IsWriteBlocked(peer_) && clock_.NowMs() < deadline) {
        if (peer_->DrainOutputBuffer(peer_) < 0) break;
        pollfd out{peer_->sockfd, POLLOUT, 0};
        poll(&out, 1, 20);
    }
}

std::optional<TSessionEnd> TRdpSession::Execute(const TDueAction& action) {
    switch (action.kind) {
        case TActionKind::Send:
        case TActionKind::Echo: Send(action.channel, action.bytes); return std::nullopt;
        case TActionKind::ErrorInfo: SetErrorInfo(action.code); return std::nullopt;
        case TActionKind::ReconnectCookie: SendReconnectCookie(); return std::nullopt;
        case TActionKind::Close: return EndNow(TSessionEnd::Close);
        case TActionKind::Drop: return EndNow(TSessionEnd::Drop);
        case TActionKind::Stall:
            // Only allowed after accept, which the connection handles before any session.
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<TSessionEnd> TRdpSession::RunDueActions() {
    for (const TDueAction& action : engine_.TakeDue(clock_.NowMs())) {
        if (auto end = Execute(action)) return end;
    }
    return std::nullopt;
}

TSessionEnd TRdpSession::Run(int fd, HANDLE stopEvent) {
    if (!Start(fd)) return TSessionEnd::Error;
    for (;;) {
        HANDLE handles[MAXIMUM_WAIT_OBJECTS];
        DWORD count = peer_->GetEventHandles(peer_, handles, MAXIMUM_WAIT_OBJECTS - 8);
        if (count == 0) return TSessionEnd::Error;
        handles[count++] = WTSVirtualChannelManagerGetEventHandle(vcm_);
        for (HANDLE event : channels_.EventHandles()) {
            if (count < MAXIMUM_WAIT_OBJECTS - 1) handles[count++] = event;
        }
        handles[count++] = stopEvent;
        DWORD timeout = INFINITE;
        if (const auto due = NextDueMs()) {
            timeout = static_cast<DWORD>(std::clamp<std::int64_t>(*due - clock_.NowMs(), 0, 60000));
        }
        if (WaitForMultipleObjects(count, handles, FALSE, timeout) == WAIT_FAILED) return TSessionEnd::Error;
        if (WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0) return TSessionEnd::Stop;
        if (!peer_->CheckFileDescriptor(peer_)) return TSessionEnd::Client;
        if (!WTSVirtualChannelManagerCheckFileDescriptor(vcm_)) return TSessionEnd::Client;

        if (activatePending_) {
            activatePending_ = false;
            activated_ = true;
            if (settled_) settled_();
            rdpSettings* settings = peer_->settings;
            const int width = static_cast<int>(freerdp_settings_get_uint32(settings, FreeRDP_DesktopWidth));
            const int height = static_cast<int>(freerdp_settings_get_uint32(settings, FreeRDP_DesktopHeight));
            TJson line = Line("active");
            line["width"] = width;
            line["height"] = height;
            line["painted"] = painter_.Paint(peer_, TArea{0, 0, width, height});
            transcript_.Write(std::move(line));
            const bool accepted = AcceptTlsLogon();
            engine_.Fire(TTriggerKind::Connect, clock_.NowMs());
            if (shell_ && accepted) shell_->OnConnect(clock_.NowMs(), width, height, reconnectLogonId_);
            if (settings_.displayControl)
                displayControl_ = std::make_unique<TDisplayControl>(vcm_, peer_->context, transcript_, connection_);
        }
        if (displayControl_) displayControl_->OpenWhenReady(vcm_);
        if (activated_) {
            for (const TArea& area : refreshes_) painter_.Paint(peer_, area);
        }
        refreshes_.clear();
        ReadChannels();
        if (auto end = RunDueActions()) return *end;
        if (shell_ && !shellEnd_) shell_->OnTimer(clock_.NowMs());
        if (shellEnd_) return EndNow(*shellEnd_);
        if (!WTSVirtualChannelManagerCheckFileDescriptor(vcm_)) return TSessionEnd::Client;
    }
}

}  // namespace kiv::demo
