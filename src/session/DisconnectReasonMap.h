#pragma once
// The disconnect reasons of the classic remote-desktop control, worked out from
// what the FreeRDP-based control knows when a connection ends. The session
// window's tables are written for those numbers, so every way a connection can
// end is brought to one of them here; the extended reason is the server's own
// error-info code.
#include <cstdint>

namespace kiv {

// Reasons of the classic control that this mapping produces.
inline constexpr int32_t kDiscLocal = 1;                 // the client asked for it
inline constexpr int32_t kDiscRemoteByUser = 2;          // the user logged off / disconnected on the server
inline constexpr int32_t kDiscRemoteByServer = 3;        // the server ended it (its error info says why)
inline constexpr int32_t kDiscDnsLookupFailed = 260;
inline constexpr int32_t kDiscConnectTimeout = 264;
inline constexpr int32_t kDiscSocketConnectFailed = 516;
inline constexpr int32_t kDiscInternalError = 1032;
inline constexpr int32_t kDiscLogonFailed = 2055;
inline constexpr int32_t kDiscLicensingFailed = 2056;
inline constexpr int32_t kDiscSocketClosed = 2308;
inline constexpr int32_t kDiscSecurityError = 2310;

// The library's last-error codes the mapping looks at: its "connect" class (2)
// and its "error info" class (1) in the high half, the code in the low half.
inline constexpr uint32_t kLastErrorErrInfoClass = 0x00010000;
inline constexpr uint32_t kLastErrorConnectClass = 0x00020000;
inline constexpr uint32_t kLastErrorPreConnectFailed = 0x00020001;
inline constexpr uint32_t kLastErrorPostConnectFailed = 0x00020003;
inline constexpr uint32_t kLastErrorDnsError = 0x00020004;
inline constexpr uint32_t kLastErrorDnsNameNotFound = 0x00020005;
inline constexpr uint32_t kLastErrorConnectFailed = 0x00020006;
inline constexpr uint32_t kLastErrorMcsConnectInitial = 0x00020007;
inline constexpr uint32_t kLastErrorTlsConnectFailed = 0x00020008;
inline constexpr uint32_t kLastErrorAuthenticationFailed = 0x00020009;
inline constexpr uint32_t kLastErrorInsufficientPrivileges = 0x0002000A;
inline constexpr uint32_t kLastErrorConnectCancelled = 0x0002000B;
inline constexpr uint32_t kLastErrorSecurityNegoFailed = 0x0002000C;
inline constexpr uint32_t kLastErrorTransportFailed = 0x0002000D;
// 0x0002000E .. 0x0002001B: the account and password refusals of network-level authentication.
inline constexpr uint32_t kLastErrorFirstAccountError = 0x0002000E;
inline constexpr uint32_t kLastErrorLastAccountError = 0x0002001B;

// Server error-info codes with a meaning of their own here.
inline constexpr uint32_t kErrInfoDisconnectByUser = 0x0000000B;
inline constexpr uint32_t kErrInfoLogoffByUser = 0x0000000C;
inline constexpr uint32_t kErrInfoFirstLicensing = 0x00000100;
inline constexpr uint32_t kErrInfoLastLicensing = 0x0000010A;

struct TDisconnectFacts {
    bool localRequest = false;        // Disconnect() was called (or the control is going away)
    bool connectTimedOut = false;     // the connect watchdog gave up on a silent server
    bool certificateRefused = false;  // the user (or the prompt's absence) refused the certificate
    bool transportWasUp = false;      // the TCP connection had been established
    bool sessionWasLive = false;      // the connected event had been raised
    // The server chose network-level authentication (CredSSP) for the connection.
    bool credSspChosen = false;
    bool logonRefused = false;  // the server's logon notification refused the credentials
    uint32_t lastError = 0;           // the library's last error
    uint32_t errorInfo = 0;           // the server's Set Error Info code, 0 when none came
};

struct TDisconnectReason {
    int32_t reason = 0;
    int32_t extended = 0;
    bool operator==(const TDisconnectReason&) const = default;
};

TDisconnectReason MapDisconnectReason(const TDisconnectFacts& facts);

}  // namespace kiv
