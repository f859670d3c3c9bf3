#pragma once
#include <filesystem>

namespace kiv {

// With "Farms.ini" [AutoFarm] AutoStartBySession=1 and no agent running (its
// marker "frmClientMain" absent), starts "KivAgent" beside the binary with the
// argument "KivClient".
void StartAgentWhenWanted(const std::filesystem::path& programFolder);

}  // namespace kiv
