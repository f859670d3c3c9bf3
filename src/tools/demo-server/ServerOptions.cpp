#include "tools/demo-server/ServerOptions.h"

#include "tools/demo-server/HexBytes.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>

namespace kiv::demo {

namespace {

int ReadInt(const std::string& option, const std::string& value, int low, int high) {
    int number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || number < low || number > high) {
        throw TUsageError(option + " wants a number from " + std::to_string(low) + " to " + std::to_string(high) +
                          ", not '" + value + "'");
    }
    return number;
}

// Decimal, or hex after 0x; a leading '-' for decimals.
long long ReadNumber(const std::string& option, const std::string& value, long long low, long long high) {
    long long number = 0;
    std::string_view digits = value;
    int base = 10;
    if (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X") {
        digits.remove_prefix(2);
        base = 16;
    }
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || number < low ||
        number > high) {
        throw TUsageError(option + " wants a number from " + std::to_string(low) + " to " + std::to_string(high) +
                          ", not '" + value + "'");
    }
    return number;
}

std::int32_t ReadCode(const std::string& option, const std::string& value) {
    return static_cast<std::int32_t>(ReadNumber(option, value, INT32_MIN, INT32_MAX));
}

TShellStage ReadStage(const std::string& option, const std::string& value) {
    const auto stage = ParseShellStage(value);
    if (!stage) {
        throw TUsageError(option + " wants connected, auth, logon, shell-loading or shell-started, not '" + value + "'");
    }
    return *stage;
}

std::uint32_t ReadColor(const std::string& value) {
    std::string_view digits = value;
    if (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X") digits.remove_prefix(2);
    if (digits.size() == 7 && digits[0] == '#') digits.remove_prefix(1);
    std::uint32_t rgb = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), rgb, 16);
    if (digits.size() != 6 || error != std::errc() || end != digits.data() + digits.size()) {
        throw TUsageError("--color wants 0xRRGGBB, not '" + value + "'");
    }
    return rgb;
}

// Hex bytes of a folder-family message: they must start with its signature 3F EE 04.
std::vector<std::uint8_t> ReadFolderMessage(const std::string& value) {
    const auto bytes = ParseHex(value);
    if (!bytes || bytes->size() < 3 || (*bytes)[0] != 0x3F || (*bytes)[1] != 0xEE || (*bytes)[2] != 0x04)
        throw TUsageError("--folder-message wants hex bytes starting with 3FEE04, not '" + value + "'");
    return *bytes;
}

}  // namespace

TServerOptions ParseServerOptions(const std::vector<std::string>& args) {
    TServerOptions options;
    using TSetter = std::function<void(const std::string&)>;
    const std::map<std::string, TSetter> withValue{
        {"--port", [&](const std::string& v) { options.port = ReadInt("--port", v, 0, 65535); }},
        {"--state-dir", [&](const std::string& v) { options.stateDir = v; }},
        {"--transcript", [&](const std::string& v) { options.transcript = v; }},
        {"--scenario", [&](const std::string& v) { options.scenarioFile = v; }},
        {"--step", [&](const std::string& v) { options.steps.push_back(v); }},
        {"--user", [&](const std::string& v) { options.user = v; }},
        {"--password", [&](const std::string& v) { options.password = v; }},
        {"--domain", [&](const std::string& v) { options.domain = v; }},
        {"--width", [&](const std::string& v) { options.width = ReadInt("--width", v, 64, 8192); }},
        {"--height", [&](const std::string& v) { options.height = ReadInt("--height", v, 64, 8192); }},
        {"--color", [&](const std::string& v) { options.color = ReadColor(v); }},
        {"--log-level", [&](const std::string& v) { options.logLevel = v; }},
        {"--handshake-timeout-ms",
         [&](const std::string& v) { options.handshakeTimeoutMs = ReadInt("--handshake-timeout-ms", v, 0, 3600000); }},
        {"--idle-timeout-ms",
         [&](const std::string& v) { options.idleTimeoutMs = ReadInt("--idle-timeout-ms", v, 0, 86400000); }},
        {"--auth-result", [&](const std::string& v) { options.shell.authResult = ReadCode("--auth-result", v); }},
        {"--session-number",
         [&](const std::string& v) { options.shell.sessionNumber = ReadCode("--session-number", v); }},
        {"--logon-error-at", [&](const std::string& v) { options.shell.logonErrorAt = ReadStage("--logon-error-at", v); }},
        {"--stall-at", [&](const std::string& v) { options.shell.stallAt = ReadStage("--stall-at", v); }},
        {"--session-error", [&](const std::string& v) { options.shell.sessionError = ReadCode("--session-error", v); }},
        {"--app-run-error", [&](const std::string& v) { options.shell.appRunError = ReadCode("--app-run-error", v); }},
        {"--error-info",
         [&](const std::string& v) {
             options.shell.errorInfo = static_cast<std::uint32_t>(ReadNumber("--error-info", v, 0, UINT32_MAX));
         }},
        {"--drop-after-ms",
         [&](const std::string& v) { options.shell.dropAfterMs = ReadInt("--drop-after-ms", v, 0, 3600000); }},
        {"--reconnect-policy",
         [&](const std::string& v) { options.shell.reconnectPolicySeconds = ReadInt("--reconnect-policy", v, 0, 32767); }},
        {"--reconnect-after-ms",
         [&](const std::string& v) { options.shell.reconnectAfterMs = ReadInt("--reconnect-after-ms", v, 0, 3600000); }},
        {"--logoff-after-ms",
         [&](const std::string& v) { options.shell.logoffAfterMs = ReadInt("--logoff-after-ms", v, 0, 3600000); }},
        {"--windows", [&](const std::string& v) { options.shell.windowsPerApp = ReadInt("--windows", v, 0, 16); }},
        {"--move-every-ms",
         [&](const std::string& v) { options.shell.moveEveryMs = ReadInt("--move-every-ms", v, 10, 600000); }},
        {"--move-update-after-ms",
         [&](const std::string& v) { options.shell.moveUpdateAfterMs = ReadInt("--move-update-after-ms", v, 0, 600000); }},
        {"--stress-windows",
         [&](const std::string& v) { options.shell.stressWindows = ReadInt("--stress-windows", v, 1, 1000); }},
        {"--stress-rate", [&](const std::string& v) { options.shell.stressRateHz = ReadInt("--stress-rate", v, 1, 1000); }},
        {"--stress-steps",
         [&](const std::string& v) { options.shell.stressSteps = ReadInt("--stress-steps", v, 0, 100000000); }},
        {"--folder-message", [&](const std::string& v) { options.shell.folderMessage = ReadFolderMessage(v); }},
        {"--caret-flags",
         [&](const std::string& v) {
             options.shell.caret = true;
             options.shell.caretFlags = static_cast<std::uint32_t>(ReadNumber("--caret-flags", v, 0, UINT32_MAX));
         }},
        {"--start-video", [&](const std::string& v) { options.shell.startVideo = v; }},
    };
    const std::map<std::string, std::function<void()>> flags{
        {"--help", [&] { options.help = true; }},
        {"-h", [&] { options.help = true; }},
        {"--nla", [&] { options.nla = true; }},
        {"--new-certificate", [&] { options.newCertificate = true; }},
        {"--no-shell", [&] { options.shell.enabled = false; }},
        {"--multi-account", [&] { options.shell.multiAccount = true; }},
        {"--menu", [&] { options.shell.menuAtStart = true; }},
        {"--tray", [&] { options.shell.tray = true; }},
        {"--caret", [&] { options.shell.caret = true; }},
        {"--ask-address", [&] { options.shell.askAddress = true; }},
        {"--display-control", [&] { options.displayControl = true; }},
        {"--transcript-secrets", [&] { options.transcriptSecrets = true; }},
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (const auto flag = flags.find(name); flag != flags.end() && !value) {
            flag->second();
            continue;
        }
        const auto setter = withValue.find(name);
        if (setter == withValue.end()) throw TUsageError("unknown option '" + args[i] + "'");
        if (!value) {
            if (i + 1 >= args.size()) throw TUsageError(name + " needs a value");
            value = args[++i];
        }
        setter->second(*value);
    }
    if (options.help) return options;
    if (options.port < 0) throw TUsageError("--port is required (0 picks a free port)");
    if (options.stateDir.empty()) throw TUsageError("--state-dir is required");
    if (options.nla && (options.user.empty() || options.password.empty())) {
        throw TUsageError("--nla needs --user and --password");
    }
    TShellOptions quiet;
    quiet.enabled = false;
    if (!options.shell.enabled && options.shell != quiet) {
        throw TUsageError("--no-shell leaves no shell for the shell's options");
    }
    return options;
}

std::string HelpText() {
    return R"(usage: kiv-demo-server --port P --state-dir DIR [--transcript FILE] [options]

An RDP server on 127.0.0.1 for the client's demo and tests. It paints a desktop,
opens the channels CSML, CSMT and CSMP when the client joined them, plays the
server shell (unless --no-shell), records what happens as JSON lines, and does
what a scenario tells it to. Once it accepts connections it prints one line
"listening on 127.0.0.1:PORT". SIGTERM or SIGINT ends it within 2 seconds,
whatever its connections are doing (exit code 0).

options:
  --port P             port on 127.0.0.1 to listen on; 0 picks a free one
  --state-dir DIR      folder for the TLS certificate and key (server.crt,
                       server.key, made on first start and reused) and the
                       NTLM SAM file (sam)
  --transcript FILE    write the JSON-lines record here (the file is emptied)
  --transcript-secrets the logon's password goes into the transcript as it
                       came; without it a password is recorded as "********"
  --scenario FILE      scenario rules, one per line (see below)
  --step RULE          one more scenario rule; may be repeated; applied after
                       the --scenario file, in order
  --user U             the account for NLA (with --nla)
  --password P         its password
  --domain D           its domain (may be empty)
  --nla                require NLA (CredSSP), checked against --user/--password
                       through the SAM file; without it the server offers TLS
                       only and does not check credentials
  --new-certificate    make a new certificate and key even if there are some
  --width W            announce this desktop width instead of the client's
  --height H           announce this desktop height instead of the client's
  --color 0xRRGGBB     desktop colour (default 0x2E5C8A, "demo blue"); the grid
                       is each channel moved a fifth of the way to white
                       (default 0x577CA1), one pixel wide, every 64 pixels
  --log-level LEVEL    FreeRDP's log level (OFF, FATAL, ERROR, WARN, INFO,
                       DEBUG, TRACE); FreeRDP logs to stderr
  --display-control    offer the display-control channel (when the client
                       brings dynamic channels) and record the monitor layouts
                       it sends; the desktop keeps its size
  --handshake-timeout-ms N
                       a connection that is no active session N ms after the
                       accept (silent, or stalled in the TLS handshake or the
                       logon) is closed, reason "timeout" (default 30000; 0:
                       never)
  --idle-timeout-ms N  a connection over which no byte moved either way for
                       N ms is closed, reason "timeout" (default 900000; 0:
                       never)
  --help               this text

the server shell (on unless --no-shell; the scenario's rules act beside it):
  Once the session is up it sends MSG_WINLOGON_AUTH_RESULT (0),
  MSG_WINLOGON_LOGON_OK and MSG_WINLOGON_SHELL_LOADING (both with the session
  number), 50ms apart; once the client sent SHELL_DRIVE_PATHS and
  SHELL_MOUSE_SWAP, MSG_WINLOGON_SHELL_STARTED. Each SHELL_START_APP gets
  MSG_WINLOGON_APP_LOADED, MSG_WINLOGON_APP_READY and a window: painted on the
  desktop and published as a seamless window with its title, a 32x32 icon and,
  for the first application, rounded corners (a region). The client's window
  events are answered: activate raises (or restores, or minimizes), close
  destroys, the window menu shows a popup menu at the cursor for 5s. SHELL_EXIT
  gets MSG_WINLOGON_SESSION_LOGOFF and a close 500ms later. Text typed in the
  client's input-method window (SHELL_IME_TEXT) shows in the active window and
  is recorded.
  Shell messages: 5A 2E 07, Type (u16), Param1 (i32), Param2 (i32), zeros to
  18 bytes.
  --no-shell              no shell: only the scenario's rules speak
  --auth-result N         the authentication result instead of 0 (the road
                          ends there when it is not 0)
  --session-number N      the session number (default 7)
  --multi-account         MSG_WINLOGON_MULTEACCOUNT instead of the result
  --logon-error-at STAGE  after STAGE, MSG_WINLOGON_LOGON_ERROR with the stage's
                          event code instead of going on
  --stall-at STAGE        stop answering after STAGE (the client's watchdog
                          fires, if it runs there)
     STAGE: connected (nothing sent; code 0x8003), auth (0x1000), logon
            (0x2000), shell-loading (0x4000), shell-started (0x4001)
  --session-error N       answer the first application start with
                          MSG_WINLOGON_SESSION_ERROR N
  --app-run-error N       answer every application start with
                          MSG_WINLOGON_APP_RUN_ERROR N (no window)
  --error-info N          error info N and a close, 300ms after the shell started
  --drop-after-ms N       drop the TCP connection N ms after the session became
                          active (every connection)
  --reconnect-policy S    after the shell started: SHELL_RECONNECT_POLICY
                          (enabled, limit S seconds) and an auto-reconnect cookie
  --reconnect-after-ms N  after the shell started: an auto-reconnect cookie, and
                          N ms later one drop (once in the server's life); the
                          client's reconnection gets MSG_WINLOGON_SESSION_RECONNECT
                          with the session number and finds its windows again
  --logoff-after-ms N     MSG_WINLOGON_SESSION_LOGOFF N ms after the shell started
  --windows N             windows per application start (default 1; 0: none)
  --menu                  a popup menu in the first window once it opened
  --tray                  tray icons for each application's first window W:
                          id 1 (callback 0x0401) added without an image, then
                          modified with one; id 2 (0x0402) added with an image
                          (a small id: the client folds it into id 1's icon);
                          ids 5000 (0x8001) and 6000 (0x8002) with images. A
                          middle-button release (0x208) on an icon deletes it.
  --move-every-ms N       every N ms the oldest visible window moves 16 pixels
                          sideways (bouncing at the desktop's edges)
  --move-update-after-ms N  a move's window update goes out N ms after its
                          repaint (a busy server), not right after it
  --stress-windows N      N small windows (no taskbar button, not painted) that
                          all move at --stress-rate HZ (default 20), from the
                          shell's start: a load for the client's clipping
  --stress-steps N        the stress windows stop after N steps (recorded as
                          "stress-done"; 0, the default: never)
  --folder-message HEX    once the shell started, send this folder message
                          (hex bytes starting with the signature 3FEE04) on
                          CSMT; the client's folder plug-in answers on CSMT,
                          recorded as a "recv" line of channel CSMT
  --caret                 SHELL_CARET (0x1003) at the end of the active window's
                          typed text whenever that moves (a window opens or is
                          activated, text arrives)
  --caret-flags N         the carets' flags (0x20: a password field); implies
                          --caret
  --ask-address           once the shell started: CUSTOM_SERVER_ADDRESS (03 EF 05,
                          type 1, 1031 bytes); the answer is recorded
  --start-video TEXT      once the shell started: CUSTOM_START_VIDEO (type 2)
                          with TEXT ("ADDRESS:PORT|...")

transcript lines (each ends with "time_ms", milliseconds since the server
started; lines about a connection also have "connection", 1, 2, ... in
accept order):
  {"event":"listening","port","certificate_sha256"}
  {"event":"connect","peer"}                           TCP accepted
  {"event":"logon","user","domain","password","alternate_shell","working_dir",
   "routing_token_hex","cookie","width","height","color_depth",
   "performance_flags","security","auto_reconnect_logon_id"}
  {"event":"channel","name","options","opened"}        per channel the client joined
  {"event":"active","width","height","painted"}        session active, desktop sent
  {"event":"display-control","opened"}  {"event":"display-layout","width","height","primary"}
      (--display-control) the channel offered; a monitor layout the client sent
  {"event":"recv","channel","hex"}                     per complete message received
  {"event":"send","channel","hex"}                     per message sent
  {"event":"send-failed","channel","hex","why"}        the client did not join the channel
  {"event":"error-info","code"}  {"event":"reconnect-cookie","logon_id"}
  {"event":"disconnect","reason"}   reason: client, close, drop, stop, error,
                                    timeout,
                                    timeout
  {"event":"shell","state"}   started, stalled, logoff, drop, reconnect-drop,
                              reconnected
  {"event":"window","action","handle","title","left","top","right","bottom"}
      action: create, activate, restore, minimize, destroy, menu, menu-close,
      move, republish (the window's rectangle after the action)
  {"event":"stress","windows","rate_hz"}  {"event":"stress-done","steps"}
  {"event":"tray","action","window","id","callback","image","tip"}
      action: add, modify, delete (a tray icon message the shell sent)
  {"event":"tray-mouse","window","id","callback","message","x","y"}
      a mouse message of the client on a tray icon (message 0x201 ... 0x208)
  {"event":"caret","left","top","right","bottom","flags"}   a caret sent
  {"event":"ime-text","hex","value"}   SHELL_IME_TEXT: the text's bytes, Value
  {"event":"key","code","down"}        a key of the client (scan code, extended
                                       keys + 0x100)
  {"event":"custom","type","text"}     a custom message of the client
  routing_token_hex: the exact routing-token bytes of the client's X.224
  Connection Request (CR LF included), upper-case hex, "" when none.

scenario rules:
  [once] [connection N] [after TRIGGER] [DELAY] ACTION [ACTION | wait DELAY]...
  echo CHANNEL          every message received on CHANNEL goes back on it
  stall                 accept TCP and never answer, until the client goes

  TRIGGER  accept                TCP accepted, before any answer
           logon                 logon information received, before the
                                 capability exchange
           connect               session active: desktop painted, channels open
                                 (the trigger when a rule has no "after")
           recv CHANNEL [HEX]    a complete message on CHANNEL that starts with
                                 HEX ("??" matches any byte); fires every time
           DELAY                 same as "connect DELAY"
  DELAY    200ms, 2s             counted from the trigger; "wait" adds to it
  CHANNEL  CSML, CSMT or CSMP
  HEX      hex bytes, in one or more words: 5A2E07 or 5A 2E 07
  ACTION   send CHANNEL HEX      send these bytes as one channel message
           echo                  (after recv) send the received message back
           error-info CODE       the error info (decimal or 0x hex) that goes
                                 out with the next close
           close                 clean close: deactivate, error info, ultimatum
           drop                  end the TCP connection abruptly, no PDU
           drop-once             drop, only the first time it comes due in the
                                 server's life (so a reconnection succeeds)
           stall                 (after accept) never answer
           reconnect-cookie      send Save Session Info with an auto-reconnect
                                 cookie, so the client may reconnect by itself
  once           the rule fires once in the server's life, not per connection
  connection N   the rule applies to the N-th accepted connection only
  Rules are separated by new lines or ';'. '#' starts a comment.

examples:
  --step "after connect send CSML 5A2E0701000000"
  --step "after recv CSML 5A2E07 send CSML 5A2E0702" --step "echo CSMT"
  --step "after connect 100ms error-info 0x3 close"
  --step "reconnect-cookie" --step "after 300ms drop-once"
  --step "connection 1 after accept 500ms drop"
)";
}

}  // namespace kiv::demo
