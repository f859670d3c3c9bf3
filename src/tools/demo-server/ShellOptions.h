#pragma once
// How the built-in server shell behaves: the normal road by default, and one
// option per failure a test wants to see.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::demo {

// The stages of the road to a running shell, in order. A stage is complete
// once its message went out.
enum class TShellStage {
    Connected,     // the session is up; nothing sent yet
    Auth,          // MSG_WINLOGON_AUTH_RESULT
    Logon,         // MSG_WINLOGON_LOGON_OK
    ShellLoading,  // MSG_WINLOGON_SHELL_LOADING
    ShellStarted,  // MSG_WINLOGON_SHELL_STARTED
};

// "connected", "auth", "logon", "shell-loading", "shell-started"; nullopt otherwise.
std::optional<TShellStage> ParseShellStage(std::string_view name);
std::string_view ShellStageName(TShellStage stage);
// The code of the stage's event, which the client's stage table reads as
// "this finished, the next did not".
std::uint16_t ShellStageEvent(TShellStage stage);

struct TShellOptions {
    bool enabled = true;
    std::int32_t authResult = 0;
    std::int32_t sessionNumber = 7;
    bool multiAccount = false;
    std::optional<TShellStage> logonErrorAt;
    std::optional<TShellStage> stallAt;
    std::optional<std::int32_t> sessionError;  // answers the first application start
    std::optional<std::int32_t> appRunError;   // answers every application start
    std::optional<std::uint32_t> errorInfo;    // error info and close after the shell started
    std::optional<int> dropAfterMs;            // counted from the session's start, every connection
    std::optional<int> reconnectPolicySeconds;
    std::optional<int> reconnectAfterMs;  // counted from the shell's start, once in the server's life
    std::optional<int> logoffAfterMs;     // counted from the shell's start
    int windowsPerApp = 1;
    bool menuAtStart = false;  // a popup menu beside the first window
    bool tray = false;         // tray icons for each application's first window
    std::optional<int> moveEveryMs;
    int moveUpdateAfterMs = 0;  // a move's window update follows its repaint this late
    int stressWindows = 0;
    int stressRateHz = 20;
    int stressSteps = 0;  // the stress windows stop after this many steps; 0: never
    // A folder-family message sent on CSMT once the shell started; the client's
    // plug-in answers on CSMT (recorded as any received message).
    std::optional<std::vector<std::uint8_t>> folderMessage;
    bool caret = false;               // SHELL_CARET at the active window's typed text
    std::uint32_t caretFlags = 0;     // 0x20: the caret is in a password field
    bool askAddress = false;          // CUSTOM_SERVER_ADDRESS once the shell started
    std::optional<std::string> startVideo;  // CUSTOM_START_VIDEO with this text once the shell started

    friend bool operator==(const TShellOptions&, const TShellOptions&) = default;
};

}  // namespace kiv::demo
