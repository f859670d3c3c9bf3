#pragma once
// The sub-commands of kivtool. Each prints one JSON object (UTF-8) on stdout and
// answers the process exit code.
#include <string>
#include <vector>

namespace kiv::tool {

using TArgs = std::vector<std::string>;

int RunRead(const TArgs& args);
int RunCmdline(const TArgs& args);
int RunSessionKeys(const TArgs& args);
int RunLink(const TArgs& args);
int RunMakeLink(const TArgs& args);
int RunEncodeCredential(const TArgs& args);
int RunEncodeShellPath(const TArgs& args);
int RunFarmProxy(const TArgs& args);
int RunLangCheck(const TArgs& args);

}  // namespace kiv::tool
