#include "launch/PortalAnswer.h"

#include "infra/CodePage.h"
#include "infra/DebugLog.h"
#include "launch/ConnectionFileReader.h"

namespace kiv {

namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) text += "\r\n";
        text += lines[i];
    }
    return text;
}

std::string JoinAsIniText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

TPortalDecision ErrorDecision(std::string text, const TTextLookup& lookup) {
    TPortalDecision decision;
    decision.step = TPortalStep::ShowErrorAndClose;
    decision.text = std::move(text);
    decision.caption = lookup("ErrorCap");
    return decision;
}

}  // namespace

TPortalDecision DecidePortalAnswer(bool fetched, const std::vector<std::string>& lines,
                                   const std::filesystem::path& programFolder, const TTextLookup& lookup) {
    // The portal's texts are in the system code page, the language's are UTF-8
    // already: each is converted once, here, and shown as it is.
    if (!fetched) return ErrorDecision(SystemToUtf8(JoinLines(lines)), lookup);

    TIniImage image = TIniImage::FromText(JoinAsIniText(lines));
    // Without a result the answer is no connection file the client can use.
    if (!image.SectionExists("RESULT")) return ErrorDecision(lookup("ErrReadKIV"), lookup);

    const int32_t result = image.ReadInteger("RESULT", "result", -1);
    if (result != 0 && result != 6) return ErrorDecision(SystemToUtf8(image.ReadString("RESULT", "MsgDesc", "")), lookup);

    TPortalDecision decision;
    if (image.SectionExists("DownLoad")) {
        decision.step = TPortalStep::StartUpdaterAndClose;
        decision.program = (programFolder / kUpdaterProgramName).string();
        // The updater's command line is its path, a blank and the address: an
        // empty address leaves it without an argument.
        const std::string url = image.ReadString("DownLoad", "URL", "");
        if (!url.empty()) decision.args.push_back(url);
        return decision;
    }
    decision.step = TPortalStep::ReadConnectionFile;
    decision.image = std::move(image);
    return decision;
}

TPortalOutcome HandlePortalAnswer(bool fetched, const std::vector<std::string>& lines, TKIVFile& record,
                                  IProcessStarter& starter, const std::filesystem::path& programFolder,
                                  const TTextLookup& lookup) {
    TPortalDecision decision = DecidePortalAnswer(fetched, lines, programFolder, lookup);
    TPortalOutcome outcome;
    switch (decision.step) {
    case TPortalStep::ShowErrorAndClose:
        outcome.showMessage = true;
        outcome.text = std::move(decision.text);
        outcome.caption = std::move(decision.caption);
        return outcome;
    case TPortalStep::StartUpdaterAndClose:
        // The window closes either way; a missing updater only leaves a log line.
        if (!starter.Start(decision.program, decision.args) && DebugSwitches[dmMain])
            WriteLog("[HandlePortalAnswer] the updater could not be started: " + decision.program);
        return outcome;
    case TPortalStep::ReadConnectionFile:
        if (ReadConnectionFile(&*decision.image, record) != 0) {
            outcome.showMessage = true;
            outcome.text = lookup("ErrReadKIV");
            outcome.caption = lookup("ErrorCap");
            return outcome;
        }
        outcome.carryOn = true;
        return outcome;
    }
    return outcome;
}

}  // namespace kiv
