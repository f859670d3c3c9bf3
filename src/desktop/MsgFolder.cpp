#include "desktop/MsgFolder.h"

#include <stdexcept>

#include "desktop/WideStringBuffer.h"
#include "infra/DebugLog.h"

namespace kiv {

TFolderRecvProc FolderRecvProc = nullptr;

namespace {

// The handler whose session window the plug-in's sends reach (one per process).
TMsgFolder* LiveFolderHandler = nullptr;

}  // namespace

int32_t FolderSendProc(TFolderWideString channelName, TFolderWideString data) {
    if (LiveFolderHandler == nullptr) return 0;
    const auto channel = FolderWideStringAscii(channelName);
    const auto bytes = FolderWideStringBytes(data);
    if (!channel || !bytes) return 0;
    LiveFolderHandler->host_.OnChannelSendData(*channel, *bytes);
    return 0;
}

TMsgFolder::TMsgFolder(IChannelHost& host, IFolderPlugin* plugin) : TMsgBase(host, "CSMT", kFolderSignature) {
    FolderRecvProc = nullptr;
    LiveFolderHandler = this;
    const TFolderPluginEntry entry = plugin ? plugin->Entry() : nullptr;
    if (entry == nullptr) {
        if (DebugSwitches[dmMain])
            WriteLog(std::string("[TMsgFolder]no folder plug-in, folder messages are dropped: ") +
                     (plugin ? plugin->Problem() : "none configured"));
        return;
    }
    entry(GetMainFormHandle(), &FolderSendProc, &FolderRecvProc);
}

TMsgFolder::~TMsgFolder() {
    // The plug-in is told nothing; its later sends go nowhere.
    if (LiveFolderHandler == this) LiveFolderHandler = nullptr;
}

void TMsgFolder::ForwardFolderData(void* sender, const std::string& chanName, const TBytes& data) {
    if (FolderRecvProc == nullptr) throw std::runtime_error("no folder plug-in takes folder messages");
    const TWideStringBuffer channel = TWideStringBuffer::FromAscii(chanName);
    const TWideStringBuffer payload = TWideStringBuffer::FromBytes(data);
    FolderRecvProc(sender, channel.Get(), payload.Get());
}

void TMsgFolder::OnFolderData(const std::string& chanName, const TBytes& data) {
    ForwardFolderData(static_cast<IChannelHost*>(&host_), chanName, data);
}

}  // namespace kiv
