#pragma once
// The tray family as it lies on the wire (little-endian, unaligned): the server
// shell's icon messages and the client's 25-byte mouse messages.
#include <array>
#include <cstdint>
#include <string>

namespace kiv {

// Operation of an icon message; any other value is ignored.
inline constexpr uint8_t kTrayAdd = 0;
inline constexpr uint8_t kTrayModify = 1;
inline constexpr uint8_t kTrayDelete = 2;
// Used only inside the client: every icon of one server window matches.
inline constexpr uint8_t kTrayAnyOfWindow = 255;

// Icon ids below this are matched by their server window alone.
inline constexpr int32_t kTraySmallIdLimit = 1024;

// Icon message (server to client): the header, then IconSize bytes of an icon file.
inline constexpr int kTrayHeaderSize = 86;
inline constexpr int kTrayServerWindowOffset = 3;
inline constexpr int kTrayOperationOffset = 7;
inline constexpr int kTrayIconIdOffset = 8;
inline constexpr int kTrayCallbackOffset = 12;
inline constexpr int kTrayTipOffset = 16;
inline constexpr int kTrayTipSize = 64;
inline constexpr int kTrayIconSizeOffset = 80;

struct TTrayMsgHeader {
    int32_t ServerWindow = 0;
    uint8_t Operation = 0;
    int32_t IconId = 0;
    uint16_t CallbackMessage = 0;
    std::string Tip;  // system code page bytes: up to the first zero, at most 64
    uint16_t IconSize = 0;
};

// The header of a message; the buffer holds at least kTrayHeaderSize bytes.
TTrayMsgHeader ReadTrayHeader(const uint8_t* buffer);

// The mouse messages, numbered as the server's applications know them.
inline constexpr uint32_t kTrayLeftDown = 0x201;
inline constexpr uint32_t kTrayLeftUp = 0x202;
inline constexpr uint32_t kTrayRightDown = 0x204;
inline constexpr uint32_t kTrayRightUp = 0x205;
inline constexpr uint32_t kTrayMiddleDown = 0x207;
inline constexpr uint32_t kTrayMiddleUp = 0x208;

// Mouse message (client to server).
inline constexpr int kTrayMouseMsgSize = 25;
inline constexpr int kTrayMouseWindowOffset = 3;
inline constexpr int kTrayMouseIconIdOffset = 7;
inline constexpr int kTrayMouseCallbackOffset = 13;
inline constexpr int kTrayMouseMessageOffset = 17;
inline constexpr int kTrayMouseCursorOffset = 21;
using TTrayMouseMsg = std::array<uint8_t, kTrayMouseMsgSize>;

// x in the low 16 bits, y in the high 16 bits.
uint32_t PackTrayCursor(int32_t x, int32_t y);

}  // namespace kiv
