#pragma once
// Running a command line through the shell (the video programs), without
// waiting for it.
#include <string>

namespace kiv {

class ICommandRunner {
public:
    virtual ~ICommandRunner() = default;
    // "/bin/sh -c commandLine" with folder as its working folder. Hidden, its
    // output goes nowhere; shown, it goes where the client's own output goes.
    // False when the shell could not be started.
    virtual bool RunShellCommand(const std::string& commandLine, const std::string& folder, bool shown) = 0;
};

}  // namespace kiv
