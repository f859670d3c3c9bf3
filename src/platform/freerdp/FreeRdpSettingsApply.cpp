#include "platform/freerdp/FreeRdpSettingsApply.h"

#include <freerdp/client/channels.h>
#include <freerdp/client/cmdline.h>
#include <freerdp/settings.h>

#include <freerdp/addin.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "infra/DebugLog.h"

namespace kiv {

namespace {

bool ApplyOne(rdpSettings* settings, const TLibrarySetting& setting, std::string& error) {
    // The library's name table spells every setting with its "FreeRDP_" prefix.
    const std::string libraryName = "FreeRDP_" + setting.name;
    const SSIZE_T key = freerdp_settings_get_key_for_name(libraryName.c_str());
    if (key < 0) {
        error = "unknown setting " + setting.name;
        return false;
    }
    const auto id = static_cast<size_t>(key);
    const SSIZE_T type = freerdp_settings_get_type_for_key(id);
    BOOL ok = FALSE;
    if (const bool* b = std::get_if<bool>(&setting.value)) {
        if (type == RDP_SETTINGS_TYPE_BOOL) ok = freerdp_settings_set_bool(settings, id, *b ? TRUE : FALSE);
    } else if (const uint32_t* u = std::get_if<uint32_t>(&setting.value)) {
        if (type == RDP_SETTINGS_TYPE_UINT32) ok = freerdp_settings_set_uint32(settings, id, *u);
        else if (type == RDP_SETTINGS_TYPE_UINT16 && *u <= 0xFFFF)
            ok = freerdp_settings_set_uint16(settings, id, static_cast<UINT16>(*u));
        else if (type == RDP_SETTINGS_TYPE_INT32 && *u <= 0x7FFFFFFF)
            ok = freerdp_settings_set_int32(settings, id, static_cast<INT32>(*u));
    } else if (const std::string* s = std::get_if<std::string>(&setting.value)) {
        if (type == RDP_SETTINGS_TYPE_STRING) ok = freerdp_settings_set_string(settings, id, s->c_str());
    }
    if (!ok) error = "setting " + setting.name + " refused its value";
    return ok == TRUE;
}

bool IsStaticChannelAddIn(const std::string& name) {
    return freerdp_channels_client_find_static_entry("VirtualChannelEntryEx", name.c_str()) ||
           freerdp_channels_client_find_static_entry("VirtualChannelEntry", name.c_str());
}

bool IsDynamicChannelAddIn(const std::string& name) {
    return freerdp_channels_client_find_static_entry("DVCPluginEntry", name.c_str()) != nullptr;
}

}  // namespace

bool ApplyLibrarySettings(rdpSettings* settings, const TRdpConnectPlan& plan, std::string& error) {
    for (const auto& setting : plan.settings)
        if (!ApplyOne(settings, setting, error)) return false;

    // The library has no setter for the routing token; it owns (and frees) the buffer.
    free(settings->LoadBalanceInfo);
    settings->LoadBalanceInfo = nullptr;
    settings->LoadBalanceInfoLength = 0;
    if (!plan.routingToken.empty()) {
        auto* copy = static_cast<BYTE*>(malloc(plan.routingToken.size()));
        if (!copy) {
            error = "no memory for the routing token";
            return false;
        }
        std::memcpy(copy, plan.routingToken.data(), plan.routingToken.size());
        settings->LoadBalanceInfo = copy;
        settings->LoadBalanceInfoLength = static_cast<UINT32>(plan.routingToken.size());
    }

    // Cleared so that afterwards it tells whether a TCP connection was ever made:
    // the library fills it in right after the socket connects.
    freerdp_settings_set_string(settings, FreeRDP_ClientAddress, nullptr);
    return true;
}

void RegisterBuiltInAddIns() {
    // Debian's library carries its channels inside itself; without this provider
    // it looks for them as separate files and finds none.
    static std::once_flag once;
    std::call_once(once, [] { freerdp_register_addin_provider(freerdp_channels_load_static_addin_entry, 0); });
}

bool AddDriveShares(rdpSettings* settings, const TRdpConnectPlan& plan) {
    for (const auto& share : plan.drives) {
        // Built by hand: the library's own helper swaps name and path when a file
        // called like the share happens to exist in the current folder.
        std::error_code ec;
        if (!std::filesystem::is_directory(share.path, ec)) {
            if (DebugSwitches[dmMain]) WriteLog("[TFreeRdpControl.RedirectDrives]no folder " + share.path);
            continue;
        }
        auto* drive = static_cast<RDPDR_DRIVE*>(calloc(1, sizeof(RDPDR_DRIVE)));
        if (!drive) return false;
        drive->Type = RDPDR_DTYP_FILESYSTEM;
        drive->Name = strdup(share.name.c_str());
        drive->Path = strdup(share.path.c_str());
        if (!drive->Name || !drive->Path ||
            !freerdp_device_collection_add(settings, reinterpret_cast<RDPDR_DEVICE*>(drive))) {
            free(drive->Name);
            free(drive->Path);
            free(drive);
            return false;
        }
        settings->DeviceRedirection = TRUE;
    }
    return true;
}

void AddKnownAddIns(rdpSettings* settings, const TRdpConnectPlan& plan) {
    if (!plan.pluginNames.empty() && DebugSwitches[dmMain]) {
        std::string names;
        for (const auto& name : plan.pluginNames) names += (names.empty() ? "" : ",") + name;
        WriteLog("[TFreeRdpControl.PluginDlls]" + names);
    }
    for (const auto& candidate : plan.addInCandidates) {
        std::string name = candidate;
        char* params[] = {name.data()};
        bool loaded = false;
        if (IsStaticChannelAddIn(candidate))
            loaded = freerdp_client_add_static_channel(settings, 1, params) == TRUE;
        else if (IsDynamicChannelAddIn(candidate))
            loaded = freerdp_client_add_dynamic_channel(settings, 1, params) == TRUE;
        if (DebugSwitches[dmMain])
            WriteLog("[TFreeRdpControl.PluginDlls]" + candidate + (loaded ? " loaded" : " skipped: no such add-in"));
    }
}

}  // namespace kiv
