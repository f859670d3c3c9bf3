#pragma once
// The seamless family: the server shell's window updates and the client's
// window events, as they lie on the wire (little-endian, unaligned).
#include <array>
#include <cstdint>

namespace kiv {

// What changed in a server window (Flags of a window update).
inline constexpr uint16_t SML_TITLE = 0x0001;
inline constexpr uint16_t SML_ICON = 0x0002;
inline constexpr uint16_t SML_CREATE_MOVE = 0x0004;
inline constexpr uint16_t SML_DESTROY = 0x0010;
inline constexpr uint16_t SML_ACTIVATE = 0x0020;
inline constexpr uint16_t SML_SHOW = 0x0040;
inline constexpr uint16_t SML_HIDE = 0x0080;
inline constexpr uint16_t SML_MINIMIZE = 0x0400;
// Any of these bits creates the window's record or updates its rectangle and region.
inline constexpr uint16_t kSmlCreateOrUpdateBits = 0x000F;

// What the user did with a taskbar button (Command of a window event).
inline constexpr uint16_t SML_CMD_SYSMENU = 0x0100;
inline constexpr uint16_t SML_CMD_MENU_DONE = 0x0200;
inline constexpr uint16_t SML_CMD_WORKAREA = 0x0400;
inline constexpr uint16_t SML_CMD_ACTIVATE = 0x1000;
inline constexpr uint16_t SML_CMD_CLOSE = 0x2000;

// The Data of SML_CMD_ACTIVATE after a size notice.
inline constexpr uint32_t kSmlDataRestored = 0x00000001;
inline constexpr uint32_t kSmlDataMinimized = 0x00010001;

// Popup, visible, clip-siblings, border: the style of a popup menu. Server
// windows of this style are menus and never get a taskbar button.
inline constexpr uint32_t MenuWindowStyle = 0x94800000;

// Window update (server to client): a fixed header, then title, icon, region.
inline constexpr int kSmlHeaderSize = 38;
inline constexpr int kSmlServerHandleOffset = 3;
inline constexpr int kSmlFlagsOffset = 11;
inline constexpr int kSmlInTaskbarOffset = 13;
inline constexpr int kSmlIconSizeOffset = 14;
inline constexpr int kSmlRegionSizeOffset = 18;
inline constexpr int kSmlStyleOffset = 22;
inline constexpr int kSmlLeftOffset = 26;
inline constexpr int kSmlTopOffset = 28;
inline constexpr int kSmlRightOffset = 30;
inline constexpr int kSmlBottomOffset = 32;
inline constexpr int kSmlTitleSizeOffset = 34;
// The title is read into a zero-filled area of 260 UTF-16 units and a terminator.
inline constexpr int kSmlTitleAreaSize = 522;
inline constexpr int kSmlTitleMaxBytes = kSmlTitleAreaSize - 2;

struct TSmlWindowMsg {
    int64_t ServerHandle = 0;
    uint16_t Flags = 0;
    uint8_t InTaskbar = 0;
    uint32_t IconSize = 0;
    uint32_t RegionSize = 0;
    int32_t Style = 0;
    int16_t Left = 0;
    int16_t Top = 0;
    int16_t Right = 0;  // exclusive
    int16_t Bottom = 0;
    uint32_t TitleSize = 0;
};

// Window event (client to server): always 21 bytes, in an 11-unit payload.
inline constexpr int kSmlClientMsgSize = 21;
inline constexpr int kSmlCommandOffset = 11;
inline constexpr int kSmlDataOffset = 13;
using TSmlClientMsg = std::array<uint8_t, kSmlClientMsgSize>;

}  // namespace kiv
