#pragma once
// The per-user farm list ("Farms.ini") and the per-farm settings ("Farm.ini")
// that say which proxy leads to a portal.
#include <string>
#include <string_view>

#include "launch/KivFile.h"

namespace kiv {

inline constexpr std::string_view kUserFolderName = "VYNClient6.0";

// $XDG_CONFIG_HOME (or ~/.config) + "/VYNClient6.0/", created when missing;
// the empty text when it can neither be found nor created.
std::string GetUserDataFolder();

// The name of the farm that serves the portal address, or the empty text.
std::string FindFarm(std::string_view address);

// Clears the record, then fills it from the found farm's [ProxySet].
void ReadFarmProxy(TProxySet& proxy, std::string_view address);

}  // namespace kiv
