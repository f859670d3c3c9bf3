#pragma once
// Session events: what happens to the session, from the remote-desktop control,
// the server shell, the logon watchdog and DisconnectServer. The session window's
// OnSessionStateChanged is their only handler.
#include <cstdint>

namespace kiv {

inline constexpr uint16_t MSG_WINLOGON_AUTH_RESULT = 0x1000;
inline constexpr uint16_t MSG_WINLOGON_MULTEACCOUNT = 0x1001;
inline constexpr uint16_t MSG_WINLOGON_HIDE_WINDOW = 0x1851;
inline constexpr uint16_t MSG_WINLOGON_LOGON_OK = 0x2000;
inline constexpr uint16_t MSG_WINLOGON_LOGON_ERROR = 0x2001;
inline constexpr uint16_t MSG_WINLOGON_SESSION_LOGOFF = 0x3000;
inline constexpr uint16_t MSG_WINLOGON_SHELL_LOADING = 0x4000;
inline constexpr uint16_t MSG_WINLOGON_SHELL_STARTED = 0x4001;
inline constexpr uint16_t MSG_WINLOGON_APP_LOADED = 0x4002;
inline constexpr uint16_t MSG_WINLOGON_APP_RUN_ERROR = 0x4003;
inline constexpr uint16_t MSG_WINLOGON_APP_READY = 0x4004;
inline constexpr uint16_t MSG_WINLOGON_SESSION_RECONNECT = 0x8000;
inline constexpr uint16_t MSG_WINLOGON_SESSION_DISCONNECT = 0x8001;
inline constexpr uint16_t MSG_WINLOGON_SESSION_ERROR = 0x8002;
inline constexpr uint16_t MSG_WINLOGON_SESSION_CONNECTED = 0x8003;
inline constexpr uint16_t MSG_WINLOGON_SESSION_CONNECTING = 0x8004;

// The reason DisconnectServer reports when there is no connection to end.
inline constexpr int32_t kDisconnectWithoutConnection = 0xB08;

}  // namespace kiv
