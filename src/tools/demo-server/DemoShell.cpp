#include "tools/demo-server/DemoShell.h"

#include <algorithm>

#include "channels/ByteOrder.h"
#include "channels/CustomMessages.h"
#include "channels/MsgBase.h"
#include "channels/ShellMessages.h"
#include "session/SessionEvents.h"
#include "tools/demo-server/ShellWire.h"

namespace kiv::demo {

namespace {

bool StartsWith(const TBytes& message, const TSignature& signature) {
    return message.size() >= signature.size() && std::equal(signature.begin(), signature.end(), message.begin());
}

}  // namespace

TDemoShell::TDemoShell(const TShellOptions& options, TShellSessions& sessions, TServerDesktop& desktop,
                       IShellOutput& output, int connectionNumber)
    : options_(options),
      sessions_(sessions),
      output_(output),
      connectionNumber_(connectionNumber),
      windows_(desktop, output),
      tray_(output) {}

void TDemoShell::Schedule(std::int64_t dueMs, TStep step) {
    const auto place = std::upper_bound(timers_.begin(), timers_.end(), dueMs,
                                        [](std::int64_t due, const TTimer& t) { return due < t.dueMs; });
    timers_.insert(place, TTimer{dueMs, step});
}

std::optional<std::int64_t> TDemoShell::NextDueMs() const {
    if (state_ == TState::Ended) return std::nullopt;
    std::optional<std::int64_t> next;
    if (!timers_.empty()) next = timers_.front().dueMs;
    if (state_ == TState::Running) {
        if (const auto windows = windows_.NextDueMs(); windows && (!next || *windows < *next)) next = windows;
    }
    return next;
}

void TDemoShell::OnTimer(std::int64_t nowMs) {
    while (!timers_.empty() && timers_.front().dueMs <= nowMs && state_ != TState::Ended) {
        const TStep step = timers_.front().step;
        timers_.erase(timers_.begin());
        Run(step, nowMs);
    }
    if (state_ == TState::Running) windows_.OnTimer(nowMs);
}

void TDemoShell::SendEvent(std::uint16_t type, std::int32_t param1) {
    output_.Send("CSML", ServerShellMessage(type, param1));
}

void TDemoShell::RecordState(const char* what) {
    TJson line;
    line["event"] = "shell";
    line["state"] = what;
    output_.Record(std::move(line));
}

void TDemoShell::End(bool drop) {
    state_ = TState::Ended;
    timers_.clear();
    if (drop) {
        output_.Drop();
    } else {
        output_.Close();
    }
}

void TDemoShell::OnConnect(std::int64_t nowMs, int width, int height, std::optional<std::uint32_t> reconnectLogonId) {
    windows_.SetDesktopSize(width, height);
    if (options_.dropAfterMs) Schedule(nowMs + *options_.dropAfterMs, TStep::Drop);
    if (reconnectLogonId) {
        if (auto parked = sessions_.Resume(*reconnectLogonId)) {
            // The client came back to the session the server dropped: it is
            // told so, and finds its windows as they were.
            windows_.Adopt(*parked);
            state_ = TState::Running;
            SendEvent(MSG_WINLOGON_SESSION_RECONNECT, parked->sessionNumber);
            windows_.Republish();
            output_.Repaint({0, 0, width, height});
            RecordState("reconnected");
            if (options_.moveEveryMs) windows_.StartMoving(*options_.moveEveryMs, nowMs, options_.moveUpdateAfterMs);
            return;
        }
    }
    state_ = TState::Greeting;
    Run(TStep::Greet, nowMs);
}

bool TDemoShell::StopsAfter(TShellStage stage, std::int64_t nowMs) {
    if (options_.stallAt == stage) {
        state_ = TState::Stalled;
        RecordState("stalled");
        return true;
    }
    if (options_.logonErrorAt == stage) {
        failedAt_ = stage;
        state_ = TState::Stalled;
        Schedule(nowMs + kShellStepMs, TStep::LogonError);
        return true;
    }
    return false;
}

void TDemoShell::Run(TStep step, std::int64_t nowMs) {
    switch (step) {
        case TStep::Greet:
            if (options_.multiAccount) {
                SendEvent(MSG_WINLOGON_MULTEACCOUNT);
                state_ = TState::Stalled;
                return;
            }
            if (StopsAfter(TShellStage::Connected, nowMs)) return;
            SendEvent(MSG_WINLOGON_AUTH_RESULT, options_.authResult);
            if (options_.authResult != 0) {
                // Refused: the client says why and goes.
                state_ = TState::Stalled;
                return;
            }
            if (!StopsAfter(TShellStage::Auth, nowMs)) Schedule(nowMs + kShellStepMs, TStep::LogonOk);
            return;
        case TStep::LogonOk:
            SendEvent(MSG_WINLOGON_LOGON_OK, options_.sessionNumber);
            if (!StopsAfter(TShellStage::Logon, nowMs)) Schedule(nowMs + kShellStepMs, TStep::ShellLoading);
            return;
        case TStep::ShellLoading:
            SendEvent(MSG_WINLOGON_SHELL_LOADING, options_.sessionNumber);
            if (StopsAfter(TShellStage::ShellLoading, nowMs)) return;
            state_ = TState::WaitingForDrives;
            // The client may have answered an earlier shell-loading already.
            if (drivesSeen_ && mouseSeen_) StartShell(nowMs);
            return;
        case TStep::LogonError:
            if (failedAt_) SendEvent(MSG_WINLOGON_LOGON_ERROR, ShellStageEvent(*failedAt_));
            return;
        case TStep::ErrorInfoClose:
            if (options_.errorInfo) output_.SetErrorInfo(*options_.errorInfo);
            End(false);
            return;
        case TStep::Drop:
            RecordState("drop");
            End(true);
            return;
        case TStep::ReconnectDrop:
            // Only the first such drop of the server's life: the session it
            // leaves behind waits for the client's reconnection.
            if (!sessions_.ClaimReconnectDrop()) return;
            sessions_.Park(static_cast<std::uint32_t>(connectionNumber_), windows_.Park(options_.sessionNumber));
            RecordState("reconnect-drop");
            End(true);
            return;
        case TStep::Logoff:
            Logoff(nowMs);
            return;
        case TStep::Close:
            End(false);
            return;
    }
}

void TDemoShell::StartShell(std::int64_t nowMs) {
    SendEvent(MSG_WINLOGON_SHELL_STARTED);
    state_ = TState::Running;
    RecordState("started");
    if (StopsAfter(TShellStage::ShellStarted, nowMs)) return;
    if (options_.reconnectPolicySeconds) {
        output_.Send("CSML", ReconnectPolicyMessage(true, *options_.reconnectPolicySeconds));
        output_.SendReconnectCookie();
        cookieSent_ = true;
    }
    if (options_.reconnectAfterMs) {
        if (!cookieSent_) output_.SendReconnectCookie();
        cookieSent_ = true;
        Schedule(nowMs + *options_.reconnectAfterMs, TStep::ReconnectDrop);
    }
    if (options_.errorInfo) Schedule(nowMs + kErrorInfoCloseMs, TStep::ErrorInfoClose);
    if (options_.logoffAfterMs) Schedule(nowMs + *options_.logoffAfterMs, TStep::Logoff);
    if (options_.moveEveryMs) windows_.StartMoving(*options_.moveEveryMs, nowMs, options_.moveUpdateAfterMs);
    if (options_.stressWindows > 0) windows_.StartStress(options_.stressWindows, options_.stressRateHz, nowMs, options_.stressSteps);
    if (options_.folderMessage) output_.Send("CSMT", *options_.folderMessage);
    if (options_.askAddress) output_.Send("CSML", CustomMessage(CUSTOM_SERVER_ADDRESS, ""));
    if (options_.startVideo) output_.Send("CSML", CustomMessage(CUSTOM_START_VIDEO, *options_.startVideo));
}

void TDemoShell::SendCaret() {
    if (!options_.caret || state_ != TState::Running) return;
    const std::optional<TWindowRect> caret = windows_.CaretRect();
    if (!caret || caret == lastCaret_) return;
    lastCaret_ = caret;
    output_.Send("CSML", CaretMessage(*caret, options_.caretFlags));
    TJson line;
    line["event"] = "caret";
    line["left"] = caret->left;
    line["top"] = caret->top;
    line["right"] = caret->right;
    line["bottom"] = caret->bottom;
    line["flags"] = options_.caretFlags;
    output_.Record(std::move(line));
}

void TDemoShell::RecordImeText(const TBytes& message) {
    TJson line;
    line["event"] = "ime-text";
    const std::string text = ImeTextBytes(message);
    line["hex"] = ToHex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    line["value"] = ReadI32(message.data() + kShellValueOffset);
    output_.Record(std::move(line));
}

void TDemoShell::RecordCustom(const TBytes& message) {
    constexpr std::size_t kTextOffset = 7;
    TJson line;
    line["event"] = "custom";
    line["type"] = message.size() >= kTextOffset ? ReadI32(message.data() + 3) : 0;
    std::string text;
    for (std::size_t i = kTextOffset; i < message.size() && message[i] != 0; ++i) text += static_cast<char>(message[i]);
    line["text"] = text;
    output_.Record(std::move(line));
}

void TDemoShell::AnswerAppStart(const std::string& appId, const std::string& parameter, std::int64_t nowMs) {
    if (options_.appRunError) {
        SendEvent(MSG_WINLOGON_APP_RUN_ERROR, *options_.appRunError);
        return;
    }
    if (options_.sessionError && !sessionErrorSent_) {
        sessionErrorSent_ = true;
        SendEvent(MSG_WINLOGON_SESSION_ERROR, *options_.sessionError);
        return;
    }
    SendEvent(MSG_WINLOGON_APP_LOADED);
    SendEvent(MSG_WINLOGON_APP_READY);
    const bool first = windows_.ApplicationsStarted() == 0;
    const std::vector<std::int64_t> handles = windows_.StartApplication(appId, parameter, options_.windowsPerApp);
    if (options_.tray && !handles.empty()) tray_.AddIcons(handles.front(), appId);
    if (first && options_.menuAtStart) windows_.ShowMenuOnNewestWindow(nowMs);
    SendCaret();
}

void TDemoShell::Logoff(std::int64_t nowMs) {
    if (state_ == TState::LoggedOff || state_ == TState::Ended) return;
    SendEvent(MSG_WINLOGON_SESSION_LOGOFF);
    state_ = TState::LoggedOff;
    RecordState("logoff");
    timers_.clear();
    Schedule(nowMs + kLogoffCloseMs, TStep::Close);
}

void TDemoShell::OnShellMessage(const TBytes& message, std::int64_t nowMs) {
    const auto shell = ReadClientShellMessage(message);
    if (!shell) return;
    switch (shell->type) {
        case SHELL_DRIVE_PATHS:
            drivesSeen_ = true;
            break;
        case SHELL_MOUSE_SWAP:
            mouseSeen_ = true;
            break;
        case SHELL_START_APP:
            if (state_ == TState::Running) AnswerAppStart(shell->name, shell->text, nowMs);
            return;
        case SHELL_EXIT:
            if (state_ != TState::Stalled) Logoff(nowMs);
            return;
        case SHELL_IME_TEXT:
            RecordImeText(message);
            if (state_ == TState::Running) {
                windows_.TypedText(ImeTextBytes(message));
                SendCaret();
            }
            return;
        default:
            return;
    }
    if (state_ == TState::WaitingForDrives && drivesSeen_ && mouseSeen_) StartShell(nowMs);
}

void TDemoShell::OnReceive(const std::string& channel, const TBytes& message, std::int64_t nowMs) {
    if (state_ == TState::Ended || state_ == TState::LoggedOff) return;
    // The client sends everything on CSML; CSMP carries the same families.
    if (channel != "CSML" && channel != "CSMP") return;
    if (StartsWith(message, kShellSignature)) {
        OnShellMessage(message, nowMs);
    } else if (StartsWith(message, kSmlSignature) && state_ == TState::Running) {
        if (const auto command = ReadWindowCommand(message)) {
            windows_.OnCommand(*command, nowMs);
            SendCaret();
        }
    } else if (StartsWith(message, kTraySignature) && state_ == TState::Running) {
        if (const auto mouse = ReadTrayMouse(message)) tray_.OnMouse(*mouse);
    } else if (StartsWith(message, kCustomSignature)) {
        RecordCustom(message);
    }
}

}  // namespace kiv::demo
