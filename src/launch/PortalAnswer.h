#pragma once
// What the start-up does with a portal's answer: an error to show, a refusal, an
// update order (start the updater and close), or connection settings to read.
//
// A portal answer that starts a session is an INI text with [RESULT] result=0 (or
// 6) and the sections of a connection file; a refusal is [RESULT] with another
// result and MsgDesc for the user; an update order is [RESULT] result=0 with
// [DownLoad] URL.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "infra/IniImage.h"
#include "launch/KivFile.h"
#include "ports/ProcessStarter.h"

namespace kiv {

// The language text of a key.
using TTextLookup = std::function<std::string(std::string_view key)>;

inline constexpr int kErrorIconIndex = 2;
inline constexpr std::string_view kUpdaterProgramName = "ClientDownload";

enum class TPortalStep {
    ShowErrorAndClose,   // text under the caption, error icon, then the window closes
    StartUpdaterAndClose,
    ReadConnectionFile,  // image holds the answer to read like a file from disk
};

struct TPortalDecision {
    TPortalStep step = TPortalStep::ShowErrorAndClose;
    std::string text;  // UTF-8, ready to show
    std::string caption;
    std::string program;            // StartUpdaterAndClose: beside the client's binary
    std::vector<std::string> args;  // StartUpdaterAndClose: the update address, when there is one
    std::optional<TIniImage> image;
};

// fetched and lines are what GetKivFromServer answered; programFolder is the
// client's own folder. An answer without [RESULT] is taken for an unreadable
// connection file ("ErrReadKIV").
TPortalDecision DecidePortalAnswer(bool fetched, const std::vector<std::string>& lines,
                                   const std::filesystem::path& programFolder, const TTextLookup& lookup);

struct TPortalOutcome {
    bool carryOn = false;  // the record holds the portal's settings: the start-up goes on
    bool showMessage = false;
    std::string text;  // UTF-8, ready to show
    std::string caption;
    int iconIndex = kErrorIconIndex;
};

// Carries the decision out: starts the updater through the starter (never reading
// the settings), or reads the connection settings into the record ("ErrReadKIV"
// when ReadConnectionFile fails). Without carryOn the caller shows the message, if
// any, and closes the session window.
TPortalOutcome HandlePortalAnswer(bool fetched, const std::vector<std::string>& lines, TKIVFile& record,
                                  IProcessStarter& starter, const std::filesystem::path& programFolder,
                                  const TTextLookup& lookup);

}  // namespace kiv
