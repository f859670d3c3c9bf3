#pragma once
// One RDP session on FreeRDP's server library: TLS (or NLA), the logon
// record, the demo desktop, the channels CSML, CSMT and CSMP (every other
// joined static channel is opened too, its messages only recorded), and the rule
// engine's actions. Everything FreeRDP calls back runs on the thread that
// calls Run.
#include <winpr/wtypes.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/demo-server/ChannelSet.h"
#include "tools/demo-server/DemoShell.h"
#include "tools/demo-server/DesktopPainter.h"
#include "tools/demo-server/DisplayControl.h"
#include "tools/demo-server/RuleEngine.h"
#include "tools/demo-server/Transcript.h"

namespace kiv::demo {

// How every session is set up.
struct TPeerSettings {
    std::filesystem::path certificateFile;
    std::filesystem::path keyFile;
    std::optional<std::filesystem::path> samFile;  // NLA when set
    std::optional<int> width;                      // announced instead of the client's request
    std::optional<int> height;
    std::uint32_t color = kDemoDesktopColor;
    TShellOptions shell;
    bool displayControl = false;
    // The logon's password is written to the transcript as it came (else masked).
    bool transcriptSecrets = false;
    // Over TLS: the password the logon must carry. A different one is refused
    // in the session, as a server's logon screen does: a logon error notification
    // that ends the session, and no shell.
    std::optional<std::string> tlsPassword;
};

// What the server read of the client's first PDU before FreeRDP saw it.
struct TClientHello {
    TBytes routingToken;
    std::string cookie;
};

enum class TSessionEnd { Client, Close, Drop, Stop, Error, Timeout };
std::string_view SessionEndName(TSessionEnd end);

class TRdpSession final : private IShellOutput {
public:
    // `dropTcp` ends the client's TCP connection without another byte; `settled`
    // is called once, when the session is active.
    TRdpSession(int connection, const TPeerSettings& settings, TTranscript& transcript, const TServerClock& clock,
                TRuleEngine& engine, TShellSessions& shellSessions, TClientHello hello, std::function<void()> dropTcp,
                std::function<void()> settled = {});
    ~TRdpSession() override;
    TRdpSession(const TRdpSession&) = delete;
    TRdpSession& operator=(const TRdpSession&) = delete;

    // Serves the session on `fd`, which FreeRDP takes over, until it ends;
    // `stopEvent` (a winpr event) ends it from another thread.
    TSessionEnd Run(int fd, HANDLE stopEvent);

    // FreeRDP's callbacks, through the peer context.
    bool OnLogon();
    bool OnActivate();
    void OnRefresh(const TArea& area);
    // A key of the client: its scan code (+ 0x100 when extended), pressed or let go.
    void OnKey(int code, bool down);

private:
    bool Start(int fd);
    void RecordLogon();
    void OpenChannels();
    void ReadChannels();
    std::optional<TSessionEnd> RunDueActions();
    std::optional<TSessionEnd> Execute(const TDueAction& action);
    void FlushOutput();
    TSessionEnd EndNow(TSessionEnd how);
    std::optional<std::int64_t> NextDueMs() const;
    TJson Line(const char* event) const;

    // What the built-in shell does, carried out here.
    void Send(const std::string& channel, const TBytes& bytes) override;
    void SetErrorInfo(std::uint32_t code) override;
    void Close() override;
    void Drop() override;
    void SendReconnectCookie() override;
    // The logon's password against --password (TLS): false when refused (and said so).
    bool AcceptTlsLogon();
    void Repaint(const TWindowRect& area) override;
    void Record(TJson line) override;

    int connection_;
    const TPeerSettings& settings_;
    TTranscript& transcript_;
    const TServerClock& clock_;
    TRuleEngine& engine_;
    TShellSessions& shellSessions_;
    TClientHello hello_;
    std::function<void()> dropTcp_;
    std::function<void()> settled_;
    TServerDesktop desktop_;
    TDesktopPainter painter_;
    std::unique_ptr<TDemoShell> shell_;
    std::optional<TSessionEnd> shellEnd_;  // the shell ended the session
    std::optional<std::uint32_t> reconnectLogonId_;

    freerdp_peer* peer_ = nullptr;
    HANDLE vcm_ = nullptr;
    TChannelSet channels_;
    std::unique_ptr<TDisplayControl> displayControl_;
    bool logonSeen_ = false;
    bool activated_ = false;  // the connect trigger has fired
    bool activatePending_ = false;
    std::vector<TArea> refreshes_;
};

}  // namespace kiv::demo
