#pragma once
// Puts a connect plan (session/RdpSettingsMapping.h) into the library's settings.
#include <freerdp/freerdp.h>

#include <string>

#include "session/RdpSettingsMapping.h"

namespace kiv {

// Before the connect call. Returns false, with the reason, when a setting name
// is unknown to the library or its value does not fit the setting's type.
bool ApplyLibrarySettings(rdpSettings* settings, const TRdpConnectPlan& plan, std::string& error);

// Once per process, before the first connection loads any channel.
void RegisterBuiltInAddIns();

// In PreConnect: the drives to share and the plug-ins the library knows as add-ins.
bool AddDriveShares(rdpSettings* settings, const TRdpConnectPlan& plan);
void AddKnownAddIns(rdpSettings* settings, const TRdpConnectPlan& plan);

}  // namespace kiv
