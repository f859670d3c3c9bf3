#pragma once
// Starting and ending companion programs.
#include <filesystem>
#include <string>

namespace kiv {

// SIGKILL to this user's processes whose name is exactly that (what the kernel
// keeps of it: at most 15 characters).
void KillUserProcesses(const std::string& name);

// Runs the repair tool "FixClient" beside the binary with the mode as its only
// argument, elevated through pkexec when that exists; true when it ended within
// five seconds. A missing tool or a failed start is false.
bool RunRepairTool(const std::filesystem::path& programFolder, const std::string& mode);

// The first folder of $PATH holding an executable of that name, or empty.
std::filesystem::path FindInPath(const std::string& name);

}  // namespace kiv
