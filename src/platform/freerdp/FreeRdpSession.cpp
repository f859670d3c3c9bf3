#include "platform/freerdp/FreeRdpSession.h"

#include <freerdp/client.h>
#include <freerdp/client/cmdline.h>
#include <freerdp/error.h>
#include <freerdp/event.h>
#include <freerdp/primitives.h>
#include <freerdp/settings.h>
#include <malloc.h>
#include <sys/socket.h>
#include <winpr/synch.h>

#include <cstdio>

#include "infra/DebugLog.h"
#include "platform/freerdp/ConnectWait.h"
#include "platform/freerdp/FreeRdpContext.h"
#include "platform/freerdp/FreeRdpSettingsApply.h"
#include "platform/freerdp/WorkerThreadSignals.h"

namespace kiv {

// The reason mapping reads the library's codes as plain numbers; they must stay the library's.
static_assert(kLastErrorDnsNameNotFound == FREERDP_ERROR_DNS_NAME_NOT_FOUND);
static_assert(kLastErrorDnsError == FREERDP_ERROR_DNS_ERROR);
static_assert(kLastErrorConnectFailed == FREERDP_ERROR_CONNECT_FAILED);
static_assert(kLastErrorTransportFailed == FREERDP_ERROR_CONNECT_TRANSPORT_FAILED);
static_assert(kLastErrorTlsConnectFailed == FREERDP_ERROR_TLS_CONNECT_FAILED);
static_assert(kLastErrorSecurityNegoFailed == FREERDP_ERROR_SECURITY_NEGO_CONNECT_FAILED);
static_assert(kLastErrorConnectCancelled == FREERDP_ERROR_CONNECT_CANCELLED);
static_assert(kLastErrorAuthenticationFailed == FREERDP_ERROR_AUTHENTICATION_FAILED);
static_assert(kLastErrorPreConnectFailed == FREERDP_ERROR_PRE_CONNECT_FAILED);
static_assert(kLastErrorPostConnectFailed == FREERDP_ERROR_POST_CONNECT_FAILED);
static_assert(kLastErrorMcsConnectInitial == FREERDP_ERROR_MCS_CONNECT_INITIAL_ERROR);
static_assert(kLastErrorInsufficientPrivileges == FREERDP_ERROR_INSUFFICIENT_PRIVILEGES);
static_assert(kLastErrorFirstAccountError == FREERDP_ERROR_CONNECT_PASSWORD_EXPIRED);
static_assert(kLastErrorLastAccountError == FREERDP_ERROR_CONNECT_NO_OR_MISSING_CREDENTIALS);
static_assert(kLastErrorErrInfoClass == (FREERDP_ERROR_ERRINFO_CLASS << 16));
static_assert(kErrInfoLogoffByUser == ERRINFO_LOGOFF_BY_USER);
static_assert(kErrInfoFirstLicensing == ERRINFO_LICENSE_INTERNAL);
static_assert(kErrInfoLastLicensing == ERRINFO_LICENSE_NO_REMOTE_CONNECTIONS);

namespace {

// The negotiated protocols that run CredSSP (the negotiation's HYBRID and
// HYBRID_EX bits); the library keeps their names to itself.
constexpr UINT32 kProtocolsWithCredSsp = 0x00000002 | 0x00000008;

TFreeRdpSession* SessionOf(freerdp* instance) { return KivContext(instance)->session; }

BOOL PreConnectThunk(freerdp* instance) { return SessionOf(instance)->OnPreConnect(instance); }
BOOL PostConnectThunk(freerdp* instance) { return SessionOf(instance)->OnPostConnect(instance); }
void PostDisconnectThunk(freerdp* instance) { SessionOf(instance)->OnPostDisconnect(instance); }

DWORD VerifyCertificateThunk(freerdp* instance, const char* host, UINT16 port, const char*, const char* subject,
                             const char* issuer, const char* fingerprint, DWORD flags) {
    return SessionOf(instance)->OnVerifyCertificate(host, port, subject, issuer, fingerprint, flags);
}

DWORD VerifyChangedCertificateThunk(freerdp* instance, const char* host, UINT16 port, const char*,
                                    const char* subject, const char* issuer, const char* fingerprint, const char*,
                                    const char*, const char* oldFingerprint, DWORD flags) {
    return SessionOf(instance)->OnVerifyChangedCertificate(host, port, subject, issuer, fingerprint, oldFingerprint,
                                                           flags);
}

void ErrorInfoThunk(void* context, ErrorInfoEventArgs* e) {
    if (context && e) KivContext(static_cast<rdpContext*>(context))->session->OnErrorInfo(e->code);
}

int LogonErrorInfoThunk(freerdp* instance, UINT32 data, UINT32 type) {
    SessionOf(instance)->OnLogonErrorInfo(data, type);
    return 1;
}

BOOL ReconnectPauseThunk(freerdp* instance) { return SessionOf(instance)->KeepReconnecting() ? TRUE : FALSE; }

std::string Text(const char* text) { return text ? text : ""; }

TCertificateQuestion CertificateQuestion(const char* host, UINT16 port, const char* subject, const char* issuer,
                                         const char* fingerprint) {
    TCertificateQuestion question;
    question.host = Text(host);
    question.port = port;
    question.subject = Text(subject);
    question.issuer = Text(issuer);
    question.fingerprint = Text(fingerprint);
    return question;
}

std::string Hex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", value);
    return buffer;
}

}  // namespace

TFreeRdpSession::TFreeRdpSession(TRdpConnectPlan plan, std::chrono::milliseconds connectTimeout, IMainLoop& loop,
                                 ISessionObserver& observer)
    : plan_(std::move(plan)),
      connectTimeout_(connectTimeout),
      poster_(loop, observer),
      channels_(plan_.channels,
                [this](const std::string& channel, TBytes message) {
                    poster_.Post([channel, message = std::move(message)](ISessionObserver& o) {
                        o.OnSessionChannelData(channel, message);
                    });
                }),
      display_(TFreeRdpDisplay::TCallbacks{
          [this](int32_t width, int32_t height) {
              poster_.Post([width, height](ISessionObserver& o) { o.OnSessionDesktopResized(width, height); });
          },
          [this] {
              // Runs only while the poster is alive, and the session outlives that.
              poster_.Post([this](ISessionObserver& o) {
                  std::vector<TRect> damaged = display_.TakeDamage();
                  if (!damaged.empty()) o.OnSessionFrameDamaged(damaged);
              });
          }}),
      watchdog_([this] {
          if (DebugSwitches[dmMain]) WriteLog("[TFreeRdpSession.Watchdog]connect timed out");
          Abort(true);
      }) {}

TFreeRdpSession::~TFreeRdpSession() { Shutdown(); }

void TFreeRdpSession::Start() {
    poster_.Post([](ISessionObserver& o) { o.OnSessionConnecting(); });
    worker_ = std::thread([this] { Run(); });
}

void TFreeRdpSession::RequestDisconnect() {
    localRequest_ = true;
    stopRequested_ = true;
    certificates_.Cancel();
    Abort(phase_.load() != TPhase::Live);
}

void TFreeRdpSession::Shutdown() {
    poster_.Cancel();
    if (!finished_.load()) {
        localRequest_ = true;
        stopRequested_ = true;
        certificates_.Cancel();
        Abort(phase_.load() != TPhase::Live);
    }
    if (worker_.joinable()) worker_.join();
}

bool TFreeRdpSession::Send(const std::string& channel, const TBytes& message) {
    if (phase_.load() != TPhase::Live) return false;
    return channels_.Send(channel, message);
}

void TFreeRdpSession::Abort(bool breakSockets) {
    std::lock_guard lock(instanceMutex_);
    // Once the worker tears the connection down the instance is its alone: its
    // transport is being freed, and the worker ends by itself.
    if (!instance_ || phase_.load() == TPhase::Ending) return;
    freerdp_abort_connect(instance_);
    const TPhase phase = phase_.load();
    if (!breakSockets || (phase != TPhase::Connecting && phase != TPhase::Reconnecting)) return;
    // A connect sequence stuck in a read does not notice the abort: shutting the
    // sockets down makes the read fail at once.
    void* readFds[160] = {};
    void* writeFds[160] = {};
    int readCount = 0, writeCount = 0;
    if (!freerdp_get_fds(instance_, readFds, &readCount, writeFds, &writeCount)) return;
    for (int i = 0; i < readCount && i < 160; ++i) {
        const auto fd = static_cast<int>(reinterpret_cast<intptr_t>(readFds[i]));
        if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    }
}

void TFreeRdpSession::Run() {
    BlockBrokenPipeSignal();
    // Left to itself, FreeRDP times its colour-conversion routines on first use
    // (hundreds of milliseconds before the connection even starts, and a large
    // block freed that raises the C library's mmap threshold); the CPU's own
    // optimised routines are what it would pick on this client anyway.
    primitives_set_hints(PRIMITIVES_ONLY_CPU);
    freerdp* instance = freerdp_new();
    if (!instance) {
        finished_ = true;
        poster_.Post([](ISessionObserver& o) { o.OnSessionFatalError(0); });
        return;
    }
    instance->ContextSize = sizeof(TKivRdpContext);
    instance->PreConnect = PreConnectThunk;
    instance->PostConnect = PostConnectThunk;
    instance->PostDisconnect = PostDisconnectThunk;
    instance->VerifyCertificateEx = VerifyCertificateThunk;
    instance->VerifyChangedCertificateEx = VerifyChangedCertificateThunk;
    instance->LogonErrorInfo = LogonErrorInfoThunk;
    if (!freerdp_context_new(instance)) {
        freerdp_free(instance);
        finished_ = true;
        poster_.Post([](ISessionObserver& o) { o.OnSessionFatalError(0); });
        return;
    }
    TKivRdpContext* context = KivContext(instance);
    context->session = this;
    context->display = &display_;
    context->displayControl = &displayControl_;
    PubSub_SubscribeErrorInfo(instance->context->pubSub, ErrorInfoThunk);
    displayControl_.Subscribe(instance->context);
    {
        std::lock_guard lock(instanceMutex_);
        instance_ = instance;
    }

    const TDisconnectFacts facts = RunSession(instance);

    PubSub_UnsubscribeErrorInfo(instance->context->pubSub, ErrorInfoThunk);
    displayControl_.Unsubscribe(instance->context);
    {
        std::lock_guard lock(instanceMutex_);
        instance_ = nullptr;
    }
    // Writes still queued are cancelled in here; the channels object outlives it.
    freerdp_context_free(instance);
    freerdp_free(instance);
    Finish(facts);
}

TDisconnectFacts TFreeRdpSession::RunSession(freerdp* instance) {
    std::string error;
    if (!ApplyLibrarySettings(instance->settings, plan_, error)) {
        if (DebugSwitches[dmMain]) WriteLog("[TFreeRdpSession.Run]" + error);
        TDisconnectFacts facts;
        facts.lastError = kLastErrorPreConnectFailed;
        return facts;
    }

    phase_ = TPhase::Connecting;
    watchdog_.Arm(connectTimeout_);
    BOOL connected = FALSE;
    if (!stopRequested_.load()) {
        const TConnectWaitScope waitForAnswers(instance);
        connected = freerdp_connect(instance);
    }
    watchdog_.Disarm();
    if (!connected) {
        EnterEnding();
        return CollectFacts(instance);  // the connect call has already disconnected
    }

    // The connect sequence's buffers are freed by now: give their pages back.
    malloc_trim(0);
    sessionLive_ = true;
    phase_ = TPhase::Live;
    display_.EnableInput(instance->input);
    poster_.Post([](ISessionObserver& o) { o.OnSessionConnected(); });

    TDisconnectFacts facts = EventLoop(instance);

    EnterEnding();
    display_.DisableInput();
    channels_.CloseAll();
    freerdp_disconnect(instance);
    return facts;
}

void TFreeRdpSession::EnterEnding() {
    std::lock_guard lock(instanceMutex_);
    phase_ = TPhase::Ending;
}

TDisconnectFacts TFreeRdpSession::EventLoop(freerdp* instance) {
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    for (;;) {
        const DWORD count = freerdp_get_event_handles(instance->context, handles, ARRAYSIZE(handles));
        if (count == 0) return CollectFacts(instance);
        if (WaitForMultipleObjects(count, handles, FALSE, INFINITE) == WAIT_FAILED) return CollectFacts(instance);
        // An abort: ours, or the server's disconnect ultimatum.
        if (freerdp_shall_disconnect(instance)) return CollectFacts(instance);
        if (freerdp_check_event_handles(instance->context)) continue;

        TDisconnectFacts dropped = CollectFacts(instance);
        if (!ShouldReconnect(instance)) return dropped;

        // The server gave us a reconnection cookie and the line went down without
        // a word from it: reconnect, as the control of the original design did.
        if (DebugSwitches[dmMain]) WriteLog("[TFreeRdpSession.EventLoop]connection lost, reconnecting");
        phase_ = TPhase::Reconnecting;
        display_.DisableInput();
        poster_.Post([](ISessionObserver& o) { o.OnSessionConnecting(); });
        watchdog_.Arm(connectTimeout_);
        BOOL reconnected = FALSE;
        {
            const TConnectWaitScope waitForAnswers(instance);
            reconnected = client_auto_reconnect_ex(instance, ReconnectPauseThunk);
        }
        watchdog_.Disarm();
        if (!reconnected || stopRequested_.load()) {
            dropped.localRequest = localRequest_.load();
            return dropped;
        }
        errorInfo_ = 0;
        phase_ = TPhase::Live;
        display_.EnableInput(instance->input);
        poster_.Post([](ISessionObserver& o) { o.OnSessionConnected(); });
    }
}

bool TFreeRdpSession::ShouldReconnect(freerdp* instance) const {
    if (stopRequested_.load()) return false;
    const rdpSettings* settings = instance->settings;
    if (!settings->AutoReconnectionEnabled) return false;
    const uint32_t errorInfo = freerdp_error_info(instance);
    if (errorInfo != ERRINFO_SUCCESS && errorInfo != ERRINFO_GRAPHICS_SUBSYSTEM_FAILED) return false;
    // Only a session the server agreed to resume: it handed out its cookie.
    const ARC_SC_PRIVATE_PACKET* cookie = settings->ServerAutoReconnectCookie;
    return cookie && cookie->cbLen == 28;
}

TDisconnectFacts TFreeRdpSession::CollectFacts(freerdp* instance) const {
    TDisconnectFacts facts;
    facts.localRequest = localRequest_.load();
    facts.connectTimedOut = watchdog_.Expired();
    facts.certificateRefused = certificateRefused_.load();
    facts.sessionWasLive = sessionLive_.load();
    facts.credSspChosen = (instance->settings->SelectedProtocol & kProtocolsWithCredSsp) != 0;
    facts.logonRefused = logonRefused_.load();
    facts.transportWasUp =
        facts.sessionWasLive || certificateSeen_.load() || instance->settings->ClientAddress != nullptr;
    facts.lastError = freerdp_get_last_error(instance->context);
    facts.errorInfo = errorInfo_.load();
    if (facts.errorInfo == 0) facts.errorInfo = freerdp_error_info(instance);
    return facts;
}

void TFreeRdpSession::Finish(const TDisconnectFacts& facts) {
    const TDisconnectReason reason = MapDisconnectReason(facts);
    if (DebugSwitches[dmMain])
        WriteLog("[TFreeRdpSession.Finish]Reason=" + std::to_string(reason.reason) + " EReason=" +
                 Hex(static_cast<uint32_t>(reason.extended)) + " LastError=" + Hex(facts.lastError) +
                 " ErrorInfo=" + Hex(facts.errorInfo) + (facts.localRequest ? " local" : "") +
                 (facts.connectTimedOut ? " timeout" : "") + (facts.transportWasUp ? " transport" : "") +
                 (facts.credSspChosen ? " credssp" : "") + (facts.logonRefused ? " refused" : ""));
    finished_ = true;
    poster_.Post([reason](ISessionObserver& o) { o.OnSessionDisconnected(reason); });
}

BOOL TFreeRdpSession::OnPreConnect(freerdp* instance) {
    // An abort before the connect call began was wiped by it; look again here.
    if (stopRequested_.load()) return FALSE;
    rdpSettings* settings = instance->settings;
    if (!channels_.Register(instance->context)) {
        if (DebugSwitches[dmMain]) WriteLog("[TFreeRdpSession.PreConnect]channels refused");
        return FALSE;
    }
    RegisterBuiltInAddIns();
    if (!AddDriveShares(settings, plan_)) return FALSE;
    AddKnownAddIns(settings, plan_);
    if (const uint32_t layout = TFreeRdpDisplay::PrepareKeyboard(); layout != 0) settings->KeyboardLayout = layout;
    displayControl_.Prepare(settings, displayControlEnabled_);
    return freerdp_client_load_addins(instance->context->channels, settings);
}

BOOL TFreeRdpSession::OnPostConnect(freerdp* instance) {
    return display_.Attach(instance) ? TRUE : FALSE;
}

void TFreeRdpSession::OnPostDisconnect(freerdp* instance) { display_.Detach(instance); }

// The connect watchdog does not count the time the user takes to answer.
bool TFreeRdpSession::AskAboutCertificate(const TCertificateQuestion& question) {
    watchdog_.Pause();
    const bool accepted = certificates_.Ask(question, poster_);
    watchdog_.Resume();
    return accepted;
}

DWORD TFreeRdpSession::OnVerifyCertificate(const char* host, UINT16 port, const char* subject, const char* issuer,
                                           const char* fingerprint, DWORD flags) {
    certificateSeen_ = true;
    // The library asks only about a certificate that neither verifies against the
    // system's CA store for this host nor is remembered in the known hosts under our
    // configuration folder. The user decides (managed machines may trust it on first
    // use); an accepted one is remembered there, and a different one later is the
    // changed-certificate question.
    const bool accepted =
        trustFirstCertificate_ || AskAboutCertificate(CertificateQuestion(host, port, subject, issuer, fingerprint));
    if (DebugSwitches[dmMain])
        WriteLog("[TFreeRdpSession.VerifyCertificate]" + Text(host) + ":" + std::to_string(port) + " " +
                 Text(subject) + " " + Text(fingerprint) + " flags=" + Hex(flags) +
                 (!accepted ? " refused" : trustFirstCertificate_ ? " trusted on first use, remembered" : " accepted, remembered"));
    if (!accepted) {
        certificateRefused_ = true;
        return 0;
    }
    return 1;
}

DWORD TFreeRdpSession::OnVerifyChangedCertificate(const char* host, UINT16 port, const char* subject,
                                                  const char* issuer, const char* fingerprint,
                                                  const char* oldFingerprint, DWORD flags) {
    certificateSeen_ = true;
    TCertificateQuestion question = CertificateQuestion(host, port, subject, issuer, fingerprint);
    question.oldFingerprint = Text(oldFingerprint);
    const bool accepted = AskAboutCertificate(question);
    if (DebugSwitches[dmMain])
        WriteLog("[TFreeRdpSession.VerifyChangedCertificate]" + question.host + ":" + std::to_string(port) + " " +
                 question.fingerprint + " was " + question.oldFingerprint + " flags=" + Hex(flags) +
                 (accepted ? " accepted for this session" : " refused"));
    if (!accepted) {
        certificateRefused_ = true;
        return 0;
    }
    // For this session only: the known hosts keep the remembered certificate.
    return 2;
}

void TFreeRdpSession::OnLogonErrorInfo(uint32_t data, uint32_t type) {
    if (DebugSwitches[dmMain]) WriteLog("[TFreeRdpSession.LogonErrorInfo]type=" + Hex(type) + " data=" + Hex(data));
    // Warnings and the server's session messages pass; a failed logon ends the
    // session: this client has no logon screen to offer in its place.
    if (type != LOGON_FAILED_BAD_PASSWORD && type != LOGON_FAILED_UPDATE_PASSWORD && type != LOGON_FAILED_OTHER)
        return;
    logonRefused_ = true;
    stopRequested_ = true;
    Abort(false);
}

void TFreeRdpSession::OnErrorInfo(uint32_t code) {
    // The library reports the same code more than once per disconnect.
    if (code == 0 || code == errorInfo_.load()) return;
    errorInfo_ = code;
    if (DebugSwitches[dmMain]) WriteLog("[TFreeRdpSession.ErrorInfo]" + Hex(code));
}

}  // namespace kiv
