#include "tools/demo-server/ShellOptions.h"

#include <array>
#include <utility>

#include "session/SessionEvents.h"

namespace kiv::demo {

namespace {

constexpr std::array<std::pair<std::string_view, TShellStage>, 5> kStages{{
    {"connected", TShellStage::Connected},
    {"auth", TShellStage::Auth},
    {"logon", TShellStage::Logon},
    {"shell-loading", TShellStage::ShellLoading},
    {"shell-started", TShellStage::ShellStarted},
}};

}  // namespace

std::optional<TShellStage> ParseShellStage(std::string_view name) {
    for (const auto& [text, stage] : kStages)
        if (text == name) return stage;
    return std::nullopt;
}

std::string_view ShellStageName(TShellStage stage) {
    for (const auto& [text, value] : kStages)
        if (value == stage) return text;
    return "connected";
}

std::uint16_t ShellStageEvent(TShellStage stage) {
    switch (stage) {
        case TShellStage::Connected: return MSG_WINLOGON_SESSION_CONNECTED;
        case TShellStage::Auth: return MSG_WINLOGON_AUTH_RESULT;
        case TShellStage::Logon: return MSG_WINLOGON_LOGON_OK;
        case TShellStage::ShellLoading: return MSG_WINLOGON_SHELL_LOADING;
        case TShellStage::ShellStarted: return MSG_WINLOGON_SHELL_STARTED;
    }
    return MSG_WINLOGON_SESSION_CONNECTED;
}

}  // namespace kiv::demo
