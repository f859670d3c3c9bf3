#include "launch/FarmList.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "infra/IniImage.h"
#include "infra/UserFolders.h"
#include "infra/TextRules.h"

namespace kiv {

namespace {

// A farm name becomes a folder name below the per-user folder. A name that would
// reach outside it (a separator, "." or "..", or a NUL that the system would cut
// the path at) is not a farm the client may read.
bool IsSafeFarmName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

struct PortalAddress {
    std::string host;
    std::string port;
};

std::optional<PortalAddress> ParsePortalAddress(std::string_view address) {
    const std::size_t slashes = address.find("//");
    if (slashes == std::string_view::npos) return std::nullopt;
    std::string_view scheme = address.substr(0, slashes);
    if (!scheme.empty() && scheme.back() == ':') scheme.remove_suffix(1);
    const bool https = EqualsNoCase(scheme, "https");
    if (!https && !EqualsNoCase(scheme, "http")) return std::nullopt;

    std::string_view hostPart = address.substr(slashes + 2);
    hostPart = hostPart.substr(0, hostPart.find('/'));
    PortalAddress result;
    const std::size_t colon = hostPart.find(':');
    if (colon == std::string_view::npos) {
        result.host = hostPart;
        result.port = https ? "443" : "80";
    } else {
        result.host = hostPart.substr(0, colon);
        result.port = hostPart.substr(colon + 1);
    }
    // A farm file without the keys reads as an empty host: it must not match an
    // address that has no host either.
    if (result.host.empty()) return std::nullopt;
    return result;
}

struct FoundFarm {
    std::string name;
    TIniImage settings;
};

std::optional<FoundFarm> LocateFarm(std::string_view address) {
    const std::optional<PortalAddress> portal = ParsePortalAddress(address);
    if (!portal) return std::nullopt;

    // Without a per-user folder the names are relative to the current directory.
    const std::string folder = GetUserDataFolder();
    const std::optional<TIniImage> farms = TIniImage::FromFile(folder + "Farms.ini");
    if (!farms) return std::nullopt;

    for (const std::string& name : SplitCommaText(farms->ReadString("Farms", "FarmList", ""))) {
        if (!IsSafeFarmName(name)) continue;
        std::optional<TIniImage> farm = TIniImage::FromFile(folder + name + "/Farm.ini");
        if (!farm) continue;
        if (EqualsNoCase(farm->ReadString("Farm", "FarmHost", ""), portal->host) &&
            EqualsNoCase(farm->ReadString("Farm", "FarmPort", ""), portal->port))
            return FoundFarm{name, std::move(*farm)};
    }
    return std::nullopt;
}

}  // namespace

std::string GetUserDataFolder() {
    std::optional<std::string> base = AbsoluteEnvFolder("XDG_CONFIG_HOME");
    if (!base) {
        const std::optional<std::string> home = AbsoluteEnvFolder("HOME");
        if (!home) return "";
        base = *home + "/.config";
    }
    std::string folder = *base;
    if (folder.back() != '/') folder += '/';
    folder += kUserFolderName;
    if (!MakePrivateFolders(folder)) return "";
    return folder + "/";
}

std::string FindFarm(std::string_view address) {
    std::optional<FoundFarm> farm = LocateFarm(address);
    return farm ? farm->name : std::string();
}

void ReadFarmProxy(TProxySet& proxy, std::string_view address) {
    proxy = TProxySet{};
    const std::optional<FoundFarm> farm = LocateFarm(address);
    if (!farm) return;
    const TIniImage& ini = farm->settings;
    proxy.ProxyType = ini.ReadInteger("ProxySet", "ProxyType", 0);
    proxy.ProxyServer = ini.ReadString("ProxySet", "ProxyServer", "");
    proxy.ProxyPort = ini.ReadInteger("ProxySet", "ProxyPort", 0);
    proxy.ProxyUser = ini.ReadString("ProxySet", "ProxyUser", "");
    proxy.ProxyPwd = ini.ReadString("ProxySet", "ProxyPwd", "");
}

}  // namespace kiv
