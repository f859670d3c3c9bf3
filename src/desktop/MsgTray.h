#pragma once
// The tray handler: mirrors the tray icons of the server's applications in the
// local tray (same image, same tooltip) and sends every mouse button pressed or
// released on a local icon back to the server, which hands it to the
// application that owns the icon.
#include <cstdint>

#include "channels/MsgBase.h"
#include "desktop/ClientTrayManger.h"
#include "desktop/TrayMessages.h"
#include "ports/TrayIcons.h"

namespace kiv {

// Either may be absent: without icons the entries are still kept, without a
// decoder a message with an image is dropped.
struct TTrayPorts {
    ITrayIcons* icons = nullptr;
    const ITrayIconDecoder* decoder = nullptr;
};

class TMsgTray final : public TMsgBase, private ITrayIconEvents {
public:
    TMsgTray(IChannelHost& host, TTrayPorts ports);
    ~TMsgTray() override;

    // One icon message; len follows the payload rule.
    void OnRecvbuffer(const uint8_t* buffer, int32_t len) override;
    // Applies one add, modify or delete; image is the message's icon, or none.
    void ProcessTrayMessage(const TTrayMsgHeader& header, const TTrayIconImage* image);
    // Fills the reply for a mouse message on a local icon; false when no entry
    // has the icon. A non-zero callbackOverride replaces the entry's callback
    // message.
    bool BuildMouseMessage(TTrayIconKey icon, uint16_t callbackOverride, TTrayMouseMsg& message,
                           uint32_t mouseMessage);
    // 0 when sent; -2 when sending failed, and then the first entry of the
    // message's server window is gone with its icon.
    int SendMouseMessage(const TTrayMouseMsg& message);

    TClientTrayIconList IconList;

private:
    void OnTrayButtonDown(TTrayIconKey icon, TTrayButton button) override;
    void OnTrayButtonUp(TTrayIconKey icon, TTrayButton button) override;
    void OnMouse(TTrayIconKey icon, uint32_t mouseMessage);
    TTrayIconImage LoadIcon(const uint8_t* bytes, uint16_t size) const;
    void SetHint(TTrayIconKey icon, const TTrayMsgHeader& header);

    TTrayPorts ports_;
};

}  // namespace kiv
