#pragma once
// TMsgFolder: connects the folder plug-in to channel "CSMT". The client never
// looks inside folder messages: every received one goes to the plug-in's
// receive function unchanged, and whatever the plug-in sends goes out on the
// channel it names.
#include <string>

#include "channels/ChannelRouter.h"
#include "channels/MsgBase.h"
#include "ports/FolderPlugin.h"

namespace kiv {

// Process-wide, as the plug-in sees them: the client's send function (it
// reaches the session window of the live TMsgFolder; without one it does
// nothing), and the plug-in's receive function (empty until the plug-in's entry
// point stored it).
int32_t FolderSendProc(TFolderWideString channelName, TFolderWideString data);
extern TFolderRecvProc FolderRecvProc;

class TMsgFolder : public TMsgBase, public IFolderChannel {
public:
    // Calls the plug-in's entry point once; without a plug-in the client goes on
    // and folder messages are dropped.
    TMsgFolder(IChannelHost& host, IFolderPlugin* plugin);
    ~TMsgFolder() override;

    // Hands one received folder message to the plug-in. Throws when there is no
    // receive function: the router logs the exception and drops the message.
    void ForwardFolderData(void* sender, const std::string& chanName, const TBytes& data);

    // IFolderChannel: the router's entry; the sender is opaque to the plug-in.
    void OnFolderData(const std::string& chanName, const TBytes& data) override;

private:
    friend int32_t FolderSendProc(TFolderWideString, TFolderWideString);
};

}  // namespace kiv
