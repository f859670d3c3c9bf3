#pragma once
// Companion programs started with posix_spawn, inheriting the environment. The
// client never waits for them; a background thread reaps each one when it ends.
#include "ports/CommandRunner.h"
#include "ports/ProcessStarter.h"

namespace kiv {

class TProcessStarterPosix : public IProcessStarter, public ICommandRunner {
public:
    bool Start(const std::string& program, const std::vector<std::string>& args) override;
    bool RunShellCommand(const std::string& commandLine, const std::string& folder, bool shown) override;
};

}  // namespace kiv
