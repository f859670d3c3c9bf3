// kivtool: diagnostics for users, support staff and portal administrators. It
// reads connection files, command lines and links exactly as the client does
// and prints what it found as JSON.
#include <iostream>
#include <string>
#include <vector>

#include "infra/DebugLog.h"
#include "platform/linux/MachineSettingsFile.h"
#include "tools/kivtool/Commands.h"
#include "tools/kivtool/ToolContext.h"

namespace {

using namespace kiv::tool;

void PrintUsage(std::ostream& out) {
    out << "usage: kivtool COMMAND [ARGS]\n\ncommands:\n";
    for (const auto& [name, command] : CommandTable()) out << "  " << command.usage << "\n";
}

}  // namespace

namespace kiv::tool {
std::map<std::string, TCommand>& CommandTable() {
    static std::map<std::string, TCommand> table;
    return table;
}
}  // namespace kiv::tool

int main(int argc, char** argv) {
    kiv::InitDebugSwitches(kiv::TMachineSettingsFile().ReadString("Debug", "KivClient"));
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "help") {
        PrintUsage(argc < 2 ? std::cerr : std::cout);
        return argc < 2 ? 2 : 0;
    }
    const auto found = CommandTable().find(argv[1]);
    if (found == CommandTable().end()) {
        std::cerr << "kivtool: unknown command " << argv[1] << "\n";
        PrintUsage(std::cerr);
        return 2;
    }
    try {
        return found->second.run(TArgs(argv + 2, argv + argc));
    } catch (const TUsageError& error) {
        std::cerr << "kivtool " << argv[1] << ": " << error.message << "\nusage: kivtool " << found->second.usage
                  << "\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "kivtool " << argv[1] << ": " << error.what() << "\n";
        return 1;
    }
}
