// Any payload on any channel through the router, the framing and the shell
// handler: nothing may read past the payload, and the len rule must hold.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "channels/ChannelPayload.h"
#include "channels/ChannelRouter.h"
#include "channels/MsgShell.h"

namespace {

struct Host : kiv::IChannelHost {
    void OnChannelSendData(const std::string&, const kiv::TBytes& data) override { sent += data.size(); }
    void OnSessionStateChanged(uint16_t, int32_t) override { ++events; }
    kiv::TWindowHandle MainFormHandle() const override { return 1; }
    std::size_t sent = 0, events = 0;
};

struct Desktop : kiv::IDesktopFacts {
    std::optional<kiv::TTaskbarEdge> TaskbarEdge() const override { return kiv::TTaskbarEdge::Bottom; }
    std::optional<kiv::TRect> NotifyAreaRect() const override { return kiv::TRect{1500, 1050, 100, 30}; }
    kiv::TRect PrimaryWorkArea() const override { return kiv::TRect{0, 0, 1920, 1050}; }
    kiv::TRect MonitorArea(int) const override { return kiv::TRect{0, 0, 1920, 1080}; }
};

// Touches every byte a handler is given, so a too-short buffer shows under ASan.
struct Reader : kiv::TMsgBase {
    using TMsgBase::TMsgBase;
    void OnRecvbuffer(const uint8_t* buffer, int32_t len) override {
        for (int32_t i = 0; i < len; ++i) sum += buffer[i];
    }
    unsigned sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const char* channels[] = {"CSML", "CSMP", "CSMT", "RDPDR"};
    const std::string channel = channels[data[0] % 4];
    const kiv::TBytes payload(data + 1, data + size);

    Host host;
    Desktop desktop;
    kiv::TReconnectPolicy policy;
    kiv::TMsgShell shell(host, desktop, nullptr, policy, {3, false, static_cast<int>(data[0] % 4)});
    shell.ClientInfo = "/U:x";
    Reader sml(host, "CSML", kiv::kSmlSignature);
    Reader tray(host, "CSML", kiv::kTraySignature);
    kiv::TChannelRouter router;
    router.SetHandlers({&shell, &sml, &tray, nullptr, [](const uint8_t* b, int32_t len) {
                            volatile unsigned s = 0;
                            for (int32_t i = 0; i < len; ++i) s = s + b[i];
                        }});
    router.OnChannelReceivedData(channel, payload);

    const kiv::TReceivedMessage received = kiv::UnwrapReceived(payload);
    if (received.len != kiv::ReceivedLen(payload.size()) || received.buffer.size() < size_t(received.len) ||
        received.len % 2 != 0 || size_t(received.len) < payload.size())
        __builtin_trap();
    const kiv::TBytes wire = kiv::WrapForSending(payload);
    if (wire.size() != payload.size() + (payload.size() % 2 == 0 ? 2 : 1)) __builtin_trap();
    return 0;
}
