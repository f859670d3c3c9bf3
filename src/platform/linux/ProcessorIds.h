#pragma once
#include <filesystem>
#include <optional>
#include <vector>

#include "ports/MachineFacts.h"

namespace kiv {

// The online processors as "<sysRoot>/devices/system/cpu/online" lists them
// ("0-3,6"), ascending; when the file is missing, 0 to the online count - 1;
// nullopt when the list cannot be read as one.
std::optional<std::vector<int>> OnlineProcessors(const std::filesystem::path& sysRoot);

// Runs leaf 1 of the processor-identification instruction on each online processor
// by restricting the calling thread to that processor alone. nullopt when the
// affinity cannot be read, a restriction fails or the instruction is missing. The
// thread's affinity from before the call is put back in every case.
std::optional<std::vector<TCpuIdLeaf1>> ReadCpuIdPerProcessor(const std::filesystem::path& sysRoot);

}  // namespace kiv
