#pragma once
// The built-in server shell of one connection: it plays the road from logon
// to a running shell (or stops, fails or stalls where the options say),
// answers application starts with windows, honours the client's exit with a
// logoff, and drives the timed drops, reconnections and logoffs. It keeps no
// clock: every call says what time it is, so tests drive it without waiting.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/demo-server/ServerDesktop.h"
#include "tools/demo-server/ShellOptions.h"
#include "tools/demo-server/ShellOutput.h"
#include "tools/demo-server/ShellSessions.h"
#include "tools/demo-server/ShellTray.h"
#include "tools/demo-server/ShellWindows.h"

namespace kiv::demo {

// Between the road's messages, as a real shell takes its time.
inline constexpr std::int64_t kShellStepMs = 50;
// From a logoff to the server's own close, should the client not go first.
inline constexpr std::int64_t kLogoffCloseMs = 500;
// From the shell's start to the close of --error-info.
inline constexpr std::int64_t kErrorInfoCloseMs = 300;

class TDemoShell {
public:
    TDemoShell(const TShellOptions& options, TShellSessions& sessions, TServerDesktop& desktop, IShellOutput& output,
               int connectionNumber);

    // The session is active with a desktop of this size. `reconnectLogonId`:
    // the logon id of the auto-reconnect cookie the client came back with.
    void OnConnect(std::int64_t nowMs, int width, int height, std::optional<std::uint32_t> reconnectLogonId);
    // A complete message from the client.
    void OnReceive(const std::string& channel, const TBytes& message, std::int64_t nowMs);
    void OnTimer(std::int64_t nowMs);
    std::optional<std::int64_t> NextDueMs() const;

    enum class TState { Waiting, Greeting, WaitingForDrives, Running, Stalled, LoggedOff, Ended };
    TState State() const { return state_; }
    const TShellWindows& Windows() const { return windows_; }

private:
    enum class TStep { Greet, LogonOk, ShellLoading, LogonError, ErrorInfoClose, Drop, ReconnectDrop, Logoff, Close };
    struct TTimer {
        std::int64_t dueMs;
        TStep step;
    };

    void Schedule(std::int64_t dueMs, TStep step);
    void Run(TStep step, std::int64_t nowMs);
    void SendEvent(std::uint16_t type, std::int32_t param1 = 0);
    // After a stage's message: true when the road ends there (stall or error).
    bool StopsAfter(TShellStage stage, std::int64_t nowMs);
    void StartShell(std::int64_t nowMs);
    void OnShellMessage(const TBytes& message, std::int64_t nowMs);
    void AnswerAppStart(const std::string& appId, const std::string& parameter, std::int64_t nowMs);
    void Logoff(std::int64_t nowMs);
    void End(bool drop);
    void RecordState(const char* what);
    // With --caret: the active window's caret, when it moved.
    void SendCaret();
    void RecordImeText(const TBytes& message);
    void RecordCustom(const TBytes& message);

    const TShellOptions& options_;
    TShellSessions& sessions_;
    IShellOutput& output_;
    int connectionNumber_;
    TShellWindows windows_;
    TShellTray tray_;
    TState state_ = TState::Waiting;
    std::optional<TShellStage> failedAt_;  // the stage whose logon error is due
    bool drivesSeen_ = false;
    bool mouseSeen_ = false;
    bool cookieSent_ = false;
    bool sessionErrorSent_ = false;
    std::optional<TWindowRect> lastCaret_;
    std::vector<TTimer> timers_;  // by due time, ties in scheduling order
};

}  // namespace kiv::demo
