#pragma once
// The shell family: the control line between the client and the server shell.
#include <cstdint>

namespace kiv {

// Server to client.
inline constexpr uint16_t SHELL_RECONNECT_POLICY = 0x0015;
inline constexpr uint16_t SHELL_QUERY_TASKBAR = 0x0801;
inline constexpr uint16_t SHELL_CARET = 0x1003;
inline constexpr uint16_t SHELL_CLOSE_NOTICE = 0x9000;

// Client to server.
inline constexpr uint16_t SHELL_TRAY_POINT = 0x0002;
inline constexpr uint16_t SHELL_START_APP = 0x0004;
inline constexpr uint16_t SHELL_EXIT = 0x0008;
inline constexpr uint16_t SHELL_CLIENT_INFO = 0x0020;
inline constexpr uint16_t SHELL_DRIVE_PATHS = 0x0040;
inline constexpr uint16_t SHELL_MOUSE_SWAP = 0x0041;
inline constexpr uint16_t SHELL_SUSPEND = 0x0042;
inline constexpr uint16_t SHELL_WORK_AREA = 0x0400;
inline constexpr uint16_t SHELL_DESKTOP_SIZE = 0x0500;
inline constexpr uint16_t SHELL_IME_TEXT = 0x1002;
inline constexpr uint16_t SHELL_TRAFFIC = 0x1004;
inline constexpr uint16_t SHELL_RECONNECTED = 0x8000;

// The standard client message: signature, Type, a 12-byte Name, Value, then
// Text (or Value2) at offset 21. Never shorter than 25 bytes.
inline constexpr int kShellTypeOffset = 3;
inline constexpr int kShellNameOffset = 5;
inline constexpr int kShellNameSize = 12;
inline constexpr int kShellValueOffset = 17;
inline constexpr int kShellTextOffset = 21;
inline constexpr int kShellMessageSize = 25;
inline constexpr int kShellMinimumLen = 17;  // received messages shorter than this are dropped

// The server's reconnect policy, read by the abnormal-disconnection timer.
struct TReconnectPolicy {
    bool enabled = false;
    int limitSeconds = 0;
};

}  // namespace kiv
