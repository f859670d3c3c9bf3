#pragma once
// Routing of received channel payloads to the family handlers, and the sending
// chain down to the remote-desktop wrapper. Unknown or misplaced payloads are
// dropped without a word: the server shell may speak families this client does
// not know.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "channels/MsgBase.h"

namespace kiv {

class TRdpClient;

enum class TChannelFamily { Custom, Shell, Seamless, Tray, Folder, Dropped };

struct TRoute {
    TChannelFamily family = TChannelFamily::Dropped;
    std::string_view dropReason;  // why, when dropped
};

// Which handler a payload on a channel belongs to.
TRoute RouteOf(std::string_view chanName, const TBytes& data);
std::string_view FamilyName(TChannelFamily family);

// The folder handler takes its payloads whole, as they came.
class IFolderChannel {
public:
    virtual ~IFolderChannel() = default;
    virtual void OnFolderData(const std::string& chanName, const TBytes& data) = 0;
};

class TChannelRouter {
public:
    // Any handler may be absent (not created for this session).
    struct THandlers {
        TMsgBase* shell = nullptr;
        TMsgBase* seamless = nullptr;
        TMsgBase* tray = nullptr;
        IFolderChannel* folder = nullptr;
        std::function<void(const uint8_t* buffer, int32_t len)> custom;  // ProcessCustomMsg
    };

    TChannelRouter() = default;
    TChannelRouter(const TChannelRouter&) = delete;
    TChannelRouter& operator=(const TChannelRouter&) = delete;
    // Logs the counts of the messages received, per family (switch Main): what a
    // long run compares with what the server says it sent.
    ~TChannelRouter();

    void SetHandlers(THandlers handlers) { handlers_ = std::move(handlers); }
    void SetRdpClient(TRdpClient* client) { rdpClient_ = client; }

    void OnChannelReceivedData(const std::string& chanName, const TBytes& data);
    void OnChannelSendData(const std::string& chanName, const TBytes& data);

    // Messages received so far, indexed by TChannelFamily (Dropped last).
    uint64_t Received(TChannelFamily family) const { return received_[static_cast<std::size_t>(family)]; }

private:
    void Route(const std::string& chanName, const TBytes& data);

    THandlers handlers_;
    TRdpClient* rdpClient_ = nullptr;
    std::array<uint64_t, 6> received_{};
};

}  // namespace kiv
