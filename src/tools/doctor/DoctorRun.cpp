#include "tools/doctor/DoctorRun.h"

#include "desktop/DoctorReport.h"
#include "infra/LanguageStyle.h"
#include "infra/SystemLocale.h"
#include "launch/FileTypeRegistration.h"
#include "platform/freerdp/FreeRdpVersion.h"
#include "platform/linux/DoctorFacts.h"
#include "platform/linux/XdgFileTypes.h"
#include "platform/qt/XDesktopProbe.h"

namespace kiv {

namespace {

TDoctorFacts Gather(const std::filesystem::path& programFolder) {
    TDoctorFacts facts;
    facts.clientVersion = KIV_VERSION;
    const TXDesktopFacts x = ProbeXDesktop();
    facts.displayReachable = x.reachable;
    facts.display = x.display;
    facts.displayProblem = x.problem;
    facts.xwayland = x.xwayland;
    facts.windowManager = x.windowManager;
    facts.panel = x.panel;
    facts.xembedTray = x.xembedTray;
    facts.freerdpVersion = FreeRdpVersion();
    GatherLinuxDoctorFacts(facts, programFolder);
    return facts;
}

// The registration the client makes at every session start, made now and waited for.
bool RegisterAgain(const std::filesystem::path& programFolder) {
    const TLanguageStyle language(programFolder, programFolder / "Resource.ini", SystemDefaultLanguageId());
    return RegisterFileTypesForUser(
        BuildFileTypeRegistration((programFolder / "kivclient").string(), language.GetText("KeyDes")),
        programFolder / "Images" / "kivclient.svg", TRegistrationWait::UntilDone);
}

}  // namespace

int RunDoctor(TDoctorMode mode, const std::filesystem::path& programFolder, std::ostream& out) {
    TDoctorFacts facts = Gather(programFolder);
    if (mode == TDoctorMode::Repair) {
        RepairFolders(facts);
        const std::vector<TFolderFacts> repairedFolders = facts.folders;
        const bool registered = RegisterAgain(programFolder);
        facts = Gather(programFolder);
        facts.folders = repairedFolders;
        facts.registrationRepaired = registered;
    }
    const std::vector<TDoctorCheck> checks = EvaluateDoctorFacts(facts);
    out << FormatDoctorReport(facts, checks) << std::flush;
    return AnyMissing(checks) ? 1 : 0;
}

}  // namespace kiv
