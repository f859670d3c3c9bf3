#pragma once
// The session window as TRdpClient sees it: where session events and channel
// data go, and the few things only the window may do.
#include <cstdint>
#include <string>

#include "ports/RemoteDesktopControl.h"

namespace kiv {

class IRdpClientOwner {
public:
    virtual ~IRdpClientOwner() = default;
    virtual void OnSessionStateChanged(uint16_t event, int32_t reason) = 0;
    virtual void OnChannelReceivedData(const std::string& chanName, const TBytes& data) = 0;
    // The close request of the session window.
    virtual void CloseSessionWindow() = 0;
    // Ends the process (the session window is gone or was never shown).
    virtual void EndApplication() = 0;
    // Runs the repair tool with the argument; true when it reports success.
    virtual bool RunRepairTool(const std::string& argument) = 0;
};

}  // namespace kiv
