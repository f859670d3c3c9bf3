#pragma once
// The session window as the channel handlers see it.
#include <cstdint>
#include <string>

#include "ports/RemoteDesktopControl.h"

namespace kiv {

// What stands for the session window's handle (its X11 window id once shown).
using TWindowHandle = uintptr_t;

class IChannelHost {
public:
    virtual ~IChannelHost() = default;
    // The sending entry for every handler: a framed payload for a channel.
    virtual void OnChannelSendData(const std::string& chanName, const TBytes& data) = 0;
    virtual void OnSessionStateChanged(uint16_t event, int32_t reason) = 0;
    virtual TWindowHandle MainFormHandle() const = 0;
};

}  // namespace kiv
