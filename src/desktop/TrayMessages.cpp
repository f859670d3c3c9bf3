#include "desktop/TrayMessages.h"

#include <algorithm>

#include "channels/ByteOrder.h"

namespace kiv {

TTrayMsgHeader ReadTrayHeader(const uint8_t* buffer) {
    TTrayMsgHeader header;
    header.ServerWindow = ReadI32(buffer + kTrayServerWindowOffset);
    header.Operation = buffer[kTrayOperationOffset];
    header.IconId = ReadI32(buffer + kTrayIconIdOffset);
    header.CallbackMessage = ReadU16(buffer + kTrayCallbackOffset);
    const uint8_t* tip = buffer + kTrayTipOffset;
    const uint8_t* end = std::find(tip, tip + kTrayTipSize, uint8_t{0});
    header.Tip.assign(tip, end);
    header.IconSize = ReadU16(buffer + kTrayIconSizeOffset);
    return header;
}

uint32_t PackTrayCursor(int32_t x, int32_t y) {
    return (static_cast<uint32_t>(y) << 16) | (static_cast<uint32_t>(x) & 0xFFFF);
}

}  // namespace kiv
