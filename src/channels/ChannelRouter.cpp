#include "channels/ChannelRouter.h"

#include <algorithm>
#include <exception>

#include "channels/ChannelPayload.h"
#include "infra/DebugLog.h"
#include "session/RdpClient.h"

namespace kiv {

namespace {

// The first three bytes as a zero-terminated text would give them: a zero among
// them matches no family.
bool StartsWith(const TBytes& data, const TSignature& signature) {
    return data.size() >= signature.size() && std::equal(signature.begin(), signature.end(), data.begin());
}

bool IsMessageChannel(std::string_view chanName) { return chanName == "CSML" || chanName == "CSMP"; }

}  // namespace

std::string_view FamilyName(TChannelFamily family) {
    switch (family) {
        case TChannelFamily::Custom: return "custom";
        case TChannelFamily::Shell: return "shell";
        case TChannelFamily::Seamless: return "seamless";
        case TChannelFamily::Tray: return "tray";
        case TChannelFamily::Folder: return "folder";
        case TChannelFamily::Dropped: break;
    }
    return "dropped";
}

TRoute RouteOf(std::string_view chanName, const TBytes& data) {
    if (IsMessageChannel(chanName)) {
        if (StartsWith(data, kCustomSignature)) return {TChannelFamily::Custom, {}};
        if (StartsWith(data, kShellSignature)) return {TChannelFamily::Shell, {}};
        if (StartsWith(data, kSmlSignature)) return {TChannelFamily::Seamless, {}};
        if (StartsWith(data, kTraySignature)) return {TChannelFamily::Tray, {}};
        return {TChannelFamily::Dropped, "no family of this channel starts with these bytes"};
    }
    if (chanName == "CSMT") {
        if (StartsWith(data, kFolderSignature)) return {TChannelFamily::Folder, {}};
        return {TChannelFamily::Dropped, "only the folder family travels on CSMT"};
    }
    return {TChannelFamily::Dropped, "not a channel of the server shell"};
}

void TChannelRouter::OnChannelReceivedData(const std::string& chanName, const TBytes& data) {
    try {
        Route(chanName, data);
    } catch (const std::exception& error) {
        if (DebugSwitches[dmMain])
            WriteLog(std::string("[TfrmClientForm.OnChannelReceivedData]Exception:") + error.what());
    }
}

TChannelRouter::~TChannelRouter() {
    if (!DebugSwitches[dmMain]) return;
    std::string line = "[TChannelRouter]messages received:";
    for (const TChannelFamily family : {TChannelFamily::Shell, TChannelFamily::Seamless, TChannelFamily::Tray,
                                        TChannelFamily::Custom, TChannelFamily::Folder, TChannelFamily::Dropped})
        line += " " + std::string(FamilyName(family)) + "=" + std::to_string(Received(family));
    WriteLog(line);
}

void TChannelRouter::Route(const std::string& chanName, const TBytes& data) {
    const TRoute route = RouteOf(chanName, data);
    ++received_[static_cast<std::size_t>(route.family)];
    if (route.family == TChannelFamily::Dropped) return;
    if (route.family == TChannelFamily::Folder) {
        if (handlers_.folder) handlers_.folder->OnFolderData(chanName, data);
        return;
    }
    const TReceivedMessage message = UnwrapReceived(data);
    switch (route.family) {
        case TChannelFamily::Custom:
            if (handlers_.custom) handlers_.custom(message.buffer.data(), message.len);
            break;
        case TChannelFamily::Shell:
            if (handlers_.shell) handlers_.shell->OnRecvbuffer(message.buffer.data(), message.len);
            break;
        case TChannelFamily::Seamless:
            if (handlers_.seamless) handlers_.seamless->OnRecvbuffer(message.buffer.data(), message.len);
            break;
        case TChannelFamily::Tray:
            if (handlers_.tray) handlers_.tray->OnRecvbuffer(message.buffer.data(), message.len);
            break;
        default:
            break;
    }
}

void TChannelRouter::OnChannelSendData(const std::string& chanName, const TBytes& data) {
    try {
        if (rdpClient_ != nullptr) rdpClient_->SendBuffer(chanName, data);
    } catch (const std::exception& error) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[TfrmClientForm.OnChannelSendData]Exception:") + error.what());
    }
}

}  // namespace kiv
