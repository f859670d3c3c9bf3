#include "session/RdpSettingsMapping.h"

#include <algorithm>
#include <cctype>

#include "launch/ServerPath.h"

namespace kiv {

namespace {

// Performance bits of the classic control and the FreeRDP 2.11 booleans they
// become. 2.11 rebuilds the bits it sends from exactly these six; cursor shadow
// (0x020), cursor blinking (0x040) and 0x010 have no way onto the wire.
struct TPerformanceBit {
    uint32_t bit;
    const char* setting;
};
constexpr TPerformanceBit kPerformanceBits[] = {
    {0x001, "DisableWallpaper"},   {0x002, "DisableFullWindowDrag"},   {0x004, "DisableMenuAnims"},
    {0x008, "DisableThemes"},      {0x080, "AllowFontSmoothing"},      {0x100, "AllowDesktopComposition"},
};

std::string Trim(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return {};
    const auto end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "C:\Program Files\x\rusbrdr.dll" -> "rusbrdr"; "/usr/lib/libfoo.so" -> "libfoo".
std::string AddInCandidate(const std::string& plugin) {
    std::string name = plugin;
    const auto slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    name = Lower(name);
    for (const char* suffix : {".dll", ".so"}) {
        const std::string s = suffix;
        if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) {
            name.resize(name.size() - s.size());
            break;
        }
    }
    return name;
}

class TPlanBuilder {
public:
    explicit TPlanBuilder(TRdpConnectPlan& plan) : plan_(plan) {}
    void Bool(const char* name, bool value) { plan_.settings.push_back({name, value}); }
    void Uint(const char* name, uint32_t value) { plan_.settings.push_back({name, value}); }
    void Text(const char* name, const std::string& value) { plan_.settings.push_back({name, value}); }

private:
    TRdpConnectPlan& plan_;
};

void PlanLogon(const TControlSettings& s, TPlanBuilder& out) {
    // A user typed as DOMAIN\user carries its own domain: the logon and the
    // network-level authentication both want the two apart.
    std::string user = s.userName;
    std::string domain = s.domain;
    const auto backslash = user.find('\\');
    if (backslash != std::string::npos) {
        const std::string userDomain = user.substr(0, backslash);
        user = user.substr(backslash + 1);
        if (!userDomain.empty()) domain = userDomain;
    }
    out.Text("Username", user);
    out.Text("Domain", domain);
    if (!s.clearTextPassword.empty()) out.Text("Password", s.clearTextPassword);
    // The server logs the user on by itself only when the client says it brought a password.
    out.Bool("AutoLogonEnabled", !s.clearTextPassword.empty());
}

void PlanDevices(const TControlSettings& s, const TPlanEnvironment& env, TRdpConnectPlan& plan,
                 TPlanBuilder& out) {
    const bool devices = s.disableRdpdr == 0;
    const bool drives = devices && s.redirectDrives;
    out.Bool("RedirectDrives", drives);
    out.Bool("RedirectPrinters", devices && s.redirectPrinters);
    out.Bool("RedirectSerialPorts", devices && s.redirectPorts);
    out.Bool("RedirectParallelPorts", devices && s.redirectPorts);
    out.Bool("RedirectSmartCards", devices && s.redirectSmartCards);
    if (drives) {
        // The two shares every local path handed to the server is written against.
        if (!env.homeFolder.empty()) plan.drives.push_back({std::string(kHomeShareName), env.homeFolder});
        plan.drives.push_back({std::string(kRootShareName), "/"});
    }
    if (!devices) out.Bool("DeviceRedirection", false);
}

void PlanAudio(const TControlSettings& s, TPlanBuilder& out) {
    out.Bool("AudioCapture", s.audioCaptureRedirectionMode);
    switch (s.audioRedirectionMode) {
        case 0:
            out.Bool("AudioPlayback", true);
            out.Bool("RemoteConsoleAudio", false);
            break;
        case 1:
            out.Bool("AudioPlayback", false);
            out.Bool("RemoteConsoleAudio", true);
            break;
        case 2:
            out.Bool("AudioPlayback", false);
            out.Bool("RemoteConsoleAudio", false);
            break;
        default:
            break;  // the setter refuses other values; nothing to say then
    }
}

void PlanPlugins(const TControlSettings& s, TRdpConnectPlan& plan) {
    std::size_t start = 0;
    const std::string& list = s.pluginDlls;
    while (start <= list.size()) {
        auto comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        const std::string name = Trim(list.substr(start, comma - start));
        if (!name.empty()) {
            plan.pluginNames.push_back(name);
            const std::string candidate = AddInCandidate(name);
            if (!candidate.empty() &&
                std::find(plan.addInCandidates.begin(), plan.addInCandidates.end(), candidate) ==
                    plan.addInCandidates.end())
                plan.addInCandidates.push_back(candidate);
        }
        start = comma + 1;
    }
}

void PlanChannels(const TControlSettings& s, TRdpConnectPlan& plan) {
    for (const auto& channel : s.channels) {
        if (!IsValidChannelName(channel.name)) continue;
        const bool known = std::any_of(plan.channels.begin(), plan.channels.end(),
                                       [&](const TChannelDefinition& c) { return c.name == channel.name; });
        if (!known) plan.channels.push_back(channel);
    }
}

}  // namespace

bool IsValidChannelName(const std::string& name) {
    if (name.empty() || name.size() > 7) return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) { return c > 0x20 && c < 0x7F; });
}

TRdpConnectPlan PlanRdpConnection(const TControlSettings& s, const TPlanEnvironment& env) {
    TRdpConnectPlan plan;
    TPlanBuilder out(plan);

    // The library's own folder, and a TCP connect timeout that leaves the
    // decision to the control's watchdog (its timeout covers the whole sequence).
    if (!env.configPath.empty()) out.Text("ConfigPath", env.configPath);
    out.Uint("TcpConnectTimeout", env.connectTimeoutMs + 5000);
    out.Bool("SoftwareGdi", true);
    out.Bool("RedirectClipboard", false);

    out.Text("ServerHostname", s.server);
    out.Uint("ServerPort", static_cast<uint32_t>(s.rdpPort));
    PlanLogon(s, out);
    out.Uint("ColorDepth", static_cast<uint32_t>(s.colorDepth));
    out.Uint("DesktopWidth", static_cast<uint32_t>(s.desktopWidth));
    out.Uint("DesktopHeight", static_cast<uint32_t>(s.desktopHeight));

    // Security: TLS always, network-level authentication when asked for; the old
    // RDP encryption is never offered.
    out.Bool("TlsSecurity", true);
    out.Bool("NlaSecurity", s.enableCredSspSupport);
    out.Bool("RdpSecurity", false);

    out.Bool("AutoReconnectionEnabled", s.enableAutoReconnect);
    out.Bool("SmartSizing", s.smartSizing);
    out.Uint("KeyboardHook", static_cast<uint32_t>(s.keyboardHookMode));
    out.Uint("ConnectionType", static_cast<uint32_t>(s.networkConnectionType));
    out.Bool("CompressionEnabled", s.compress != 0);
    out.Bool("BitmapCachePersistEnabled", s.cachePersistenceActive != 0);

    const auto flags = static_cast<uint32_t>(s.performanceFlags);
    for (const auto& bit : kPerformanceBits) out.Bool(bit.setting, (flags & bit.bit) != 0);

    PlanAudio(s, out);
    PlanDevices(s, env, plan, out);

    out.Text("AlternateShell", s.startProgram);
    out.Text("ShellWorkingDirectory", s.workDir);

    plan.routingToken = s.loadBalanceInfo;
    PlanPlugins(s, plan);
    PlanChannels(s, plan);
    return plan;
}

const TLibrarySetting* FindLibrarySetting(const TRdpConnectPlan& plan, const std::string& name) {
    for (const auto& setting : plan.settings)
        if (setting.name == name) return &setting;
    return nullptr;
}

}  // namespace kiv
