#pragma once
// How the control's settings become FreeRDP settings. This is the whole
// translation table, kept free of library headers so that it can be checked
// without a connection: the FreeRDP adapter applies the result by setting name.
// Settings of the classic control that FreeRDP has no counterpart for are kept in
// the control (the view reads some of them) and appear nowhere here.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "ports/RemoteDesktopControl.h"
#include "session/ControlSettings.h"

namespace kiv {

// One library setting by its FreeRDP name ("ServerHostname", "NlaSecurity", ...).
struct TLibrarySetting {
    std::string name;
    std::variant<bool, uint32_t, std::string> value;
    bool operator==(const TLibrarySetting&) const = default;
};

struct TDriveShare {
    std::string name;
    std::string path;
    bool operator==(const TDriveShare&) const = default;
};

struct TRdpConnectPlan {
    std::vector<TLibrarySetting> settings;  // in the order they are applied
    std::vector<TChannelDefinition> channels;
    std::vector<TDriveShare> drives;
    std::vector<std::string> pluginNames;      // the plug-in list as given, one entry per name
    std::vector<std::string> addInCandidates;  // the library add-in each plug-in name could be
    TBytes routingToken;                       // the load-balancing cookie, sent before security starts
};

struct TPlanEnvironment {
    std::string homeFolder;    // shared as drive "home"
    std::string configPath;    // the library's own folder (known hosts)
    uint32_t connectTimeoutMs = 20000;
};

// A channel name the transport can carry: 1 to 7 printable ASCII characters.
bool IsValidChannelName(const std::string& name);

TRdpConnectPlan PlanRdpConnection(const TControlSettings& settings, const TPlanEnvironment& environment);

// The plan's value for a setting, or nullptr when the plan does not set it.
const TLibrarySetting* FindLibrarySetting(const TRdpConnectPlan& plan, const std::string& name);

}  // namespace kiv
