#pragma once
// The sub-commands of kivtool. Each command file registers its commands with a
// static TRegisterCommand; each command prints one JSON object (UTF-8) on stdout
// (or one text line where it says so) and answers the process exit code.
#include <map>
#include <string>
#include <vector>

namespace kiv::tool {

using TArgs = std::vector<std::string>;

struct TCommand {
    int (*run)(const TArgs&);
    const char* usage;
};

std::map<std::string, TCommand>& CommandTable();

struct TRegisterCommand {
    TRegisterCommand(const char* name, int (*run)(const TArgs&), const char* usage) {
        CommandTable()[name] = TCommand{run, usage};
    }
};

}  // namespace kiv::tool
