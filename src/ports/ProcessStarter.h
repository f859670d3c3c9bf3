#pragma once
// Starting a companion program (the updater, the repair tool, ...) without
// waiting for it.
#include <string>
#include <vector>

namespace kiv {

class IProcessStarter {
public:
    virtual ~IProcessStarter() = default;
    // program: the full path; args: the arguments after the program's own name.
    // False when the program could not be started.
    virtual bool Start(const std::string& program, const std::vector<std::string>& args) = 0;
};

}  // namespace kiv
