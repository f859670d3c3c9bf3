// kivtool doctor: what the client needs on this machine, checked and reported in
// plain text (the repair tool FixClient makes the same report after repairing).
#include <iostream>

#include "platform/linux/ProgramFolder.h"
#include "tools/doctor/DoctorRun.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace kiv::tool {

int RunDoctorCommand(const TArgs& args) {
    const TParsedArgs parsed = ParseArgs(args, {"program-folder"});
    if (!parsed.positional.empty()) throw TUsageError{"takes no arguments"};
    const std::filesystem::path folder = parsed.Option("program-folder").value_or(ProgramFolder().string());
    return RunDoctor(TDoctorMode::Look, folder, std::cout);
}

namespace {
const TRegisterCommand kDoctor{"doctor", RunDoctorCommand,
                               "doctor [--program-folder DIR]    what the client needs here, checked (text; exit 1 when something is missing)"};
}  // namespace

}  // namespace kiv::tool
