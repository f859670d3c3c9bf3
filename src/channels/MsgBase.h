#pragma once
// The base of the channel handlers: the channel a family sends on and the three
// bytes that start every message of the family.
#include <array>
#include <cstdint>
#include <string>

#include "channels/ChannelHost.h"

namespace kiv {

using TSignature = std::array<uint8_t, 3>;

inline constexpr TSignature kSmlSignature{0x3F, 0xEE, 0x03};
inline constexpr TSignature kShellSignature{0x5A, 0x2E, 0x07};
inline constexpr TSignature kTraySignature{0x03, 0xEF, 0x01};
inline constexpr TSignature kCustomSignature{0x03, 0xEF, 0x05};
inline constexpr TSignature kFolderSignature{0x3F, 0xEE, 0x04};

class TMsgBase {
public:
    TMsgBase(IChannelHost& host, std::string channelName, const TSignature& signature);
    virtual ~TMsgBase() = default;
    TMsgBase(const TMsgBase&) = delete;
    TMsgBase& operator=(const TMsgBase&) = delete;

    // Sends an already framed payload on ChannelName.
    virtual void SendData(const TBytes& data);
    // One received message of the family; len follows the payload rule, and the
    // buffer holds at least len bytes.
    virtual void OnRecvbuffer(const uint8_t* buffer, int32_t len);

    // Hands a session event to the session window unchanged; the third value is
    // carried by the server shell's messages but never read.
    void ForwardSessionState(uint16_t event, int32_t reason, int32_t text);
    TWindowHandle GetMainFormHandle() const;

    const std::string ChannelName;
    const TSignature Signature;

protected:
    IChannelHost& host_;
};

}  // namespace kiv
