#include "tools/demo-server/TrayWire.h"

#include <algorithm>

#include "channels/ByteOrder.h"
#include "channels/MsgBase.h"
#include "desktop/TrayMessages.h"

namespace kiv::demo {

TBytes BuildTrayMessage(const TTrayIconUpdate& update) {
    const std::size_t icon = std::min<std::size_t>(update.icon.size(), 0xFFFF);
    TBytes out(kTrayHeaderSize + icon, 0);
    std::copy(kTraySignature.begin(), kTraySignature.end(), out.begin());
    WriteI32(out.data() + kTrayServerWindowOffset, update.window);
    out[kTrayOperationOffset] = update.operation;
    WriteI32(out.data() + kTrayIconIdOffset, update.id);
    WriteU16(out.data() + kTrayCallbackOffset, update.callback);
    const std::size_t tip = std::min<std::size_t>(update.tip.size(), kTrayTipSize);
    std::copy(update.tip.begin(), update.tip.begin() + static_cast<std::ptrdiff_t>(tip), out.begin() + kTrayTipOffset);
    WriteU16(out.data() + kTrayIconSizeOffset, static_cast<std::uint16_t>(icon));
    std::copy_n(update.icon.begin(), icon, out.begin() + kTrayHeaderSize);
    return out;
}

std::optional<TTrayMouse> ReadTrayMouse(const TBytes& message) {
    if (message.size() < kTrayMouseMsgSize || !std::equal(kTraySignature.begin(), kTraySignature.end(), message.begin()))
        return std::nullopt;
    TTrayMouse mouse;
    mouse.window = ReadI32(message.data() + kTrayMouseWindowOffset);
    mouse.id = ReadI32(message.data() + kTrayMouseIconIdOffset);
    mouse.callback = ReadU32(message.data() + kTrayMouseCallbackOffset);
    mouse.message = ReadU32(message.data() + kTrayMouseMessageOffset);
    const std::uint32_t cursor = ReadU32(message.data() + kTrayMouseCursorOffset);
    mouse.x = static_cast<std::int16_t>(cursor & 0xFFFF);
    mouse.y = static_cast<std::int16_t>(cursor >> 16);
    return mouse;
}

}  // namespace kiv::demo
