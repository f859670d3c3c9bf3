#include "channels/MsgBase.h"

namespace kiv {

TMsgBase::TMsgBase(IChannelHost& host, std::string channelName, const TSignature& signature)
    : ChannelName(std::move(channelName)), Signature(signature), host_(host) {}

void TMsgBase::SendData(const TBytes& data) { host_.OnChannelSendData(ChannelName, data); }

void TMsgBase::OnRecvbuffer(const uint8_t*, int32_t) {}

void TMsgBase::ForwardSessionState(uint16_t event, int32_t reason, int32_t) {
    host_.OnSessionStateChanged(event, reason);
}

TWindowHandle TMsgBase::GetMainFormHandle() const { return host_.MainFormHandle(); }

}  // namespace kiv
