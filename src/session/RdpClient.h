#pragma once
// TRdpClient wraps the remote-desktop control for the session window: it turns
// the settings record into control settings, chooses where to dial, builds what
// the server shell needs to start the published application, connects, sends
// channel data, disconnects, and turns the control's events into session events.
#include <functional>
#include <memory>
#include <string>

#include "launch/KivFile.h"
#include "ports/MachineSettings.h"
#include "ports/MessagePrompt.h"
#include "ports/RemoteDesktopControl.h"
#include "proxy/PortMapper.h"
#include "session/RdpClientOwner.h"

namespace kiv {

// What the session window read when it was created.
struct TRdpClientSettings {
    bool KivFileisEn = true;           // KivClient.ini [Local Property] KivFileisEn
    bool EnableNLA = false;            // KivClient.ini [Local Property] EnableNLA
    std::string ClientCharset = "2052";  // the language files' [FONT] charset
};

class TRdpClient : public IRemoteDesktopEvents {
public:
    TRdpClient(IRemoteDesktopControl& control, IRdpClientOwner& owner, std::unique_ptr<IPortMapper> portMapper,
               const IMachineSettings& machine, IMessagePrompt& prompt, std::function<std::string()> getFingerPrint,
               TRdpClientSettings settings);
    ~TRdpClient() override;
    TRdpClient(const TRdpClient&) = delete;
    TRdpClient& operator=(const TRdpClient&) = delete;

    void ConnectServer(TKIVFile& record);
    void DisconnectServer();
    void SendBuffer(const std::string& chanName, const TBytes& data);

    bool Connected() const { return connected_; }
    // Set by ConnectServer for the shell channel (narrow texts, system code page).
    const std::string& ClientInfo() const { return clientInfo_; }
    const std::string& UsbInitParam() const { return usbInitParam_; }

    // The control's events.
    void OnConnecting() override;
    void OnConnected() override;
    void OnDisconnected(int32_t discReason) override;
    void OnFatalError(int32_t errorCode) override;
    void OnChannelReceivedData(const std::string& chanName, const TBytes& data) override;

private:
    void ConnectSequence(TKIVFile& record);
    void ChooseAddress(const TKIVFile& record, IAdvancedSettings& advanced);
    void SetLogon(const TKIVFile& record, IAdvancedSettings& advanced);
    bool OfferRepair(const std::string& message);

    IRemoteDesktopControl* control_;  // not owned; dropped when the session ends
    IRdpClientOwner& owner_;
    std::unique_ptr<IPortMapper> portMapper_;
    const IMachineSettings& machine_;
    IMessagePrompt& prompt_;
    std::function<std::string()> getFingerPrint_;
    TRdpClientSettings settings_;
    bool connected_ = false;
    std::string clientInfo_;
    std::string usbInitParam_;
};

}  // namespace kiv
