// FixClient: the repair tool the client offers when a connection cannot be set
// up. It checks what the client needs on this machine, repairs what it can (the
// user's folders and their rights, the file-type registration) and prints the
// report; "kivtool doctor" prints the same report without repairing.
//
// The client starts it through pkexec: run as root on behalf of a user, it does
// its work as that user, since everything it repairs belongs to them.
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "infra/DebugLog.h"
#include "platform/linux/MachineSettingsFile.h"
#include "platform/linux/ProgramFolder.h"
#include "tools/doctor/DoctorRun.h"

namespace {

// pkexec names the user it acts for; become that user before touching anything.
bool BecomeTheAskingUser() {
    const char* uidText = std::getenv("PKEXEC_UID");
    if (geteuid() != 0 || uidText == nullptr) return true;
    const passwd* user = getpwuid(static_cast<uid_t>(std::strtoul(uidText, nullptr, 10)));
    if (user == nullptr) return false;
    if (initgroups(user->pw_name, user->pw_gid) != 0 || setgid(user->pw_gid) != 0 || setuid(user->pw_uid) != 0)
        return false;
    setenv("HOME", user->pw_dir, 1);
    setenv("USER", user->pw_name, 1);
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
        unsetenv(variable);
    const std::string runtime = "/run/user/" + std::to_string(user->pw_uid);
    if (access(runtime.c_str(), W_OK) == 0) setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "fixcax";
    if (mode == "--help" || mode == "-h") {
        std::cout << "usage: FixClient [fixcax]    check and repair what kivclient needs here, then report\n"
                     "       (kivtool doctor reports without repairing)\n";
        return 0;
    }
    if (!BecomeTheAskingUser()) {
        std::cerr << "FixClient: cannot act for the user pkexec names\n";
        return 2;
    }
    kiv::InitDebugSwitches(kiv::TMachineSettingsFile().ReadString("Debug", "KivClient"));
    if (kiv::DebugSwitches[kiv::dmMain]) kiv::WriteLog("[FixClient]" + mode);
    return kiv::RunDoctor(kiv::TDoctorMode::Repair, kiv::ProgramFolder(), std::cout);
}
