#include "session/DisconnectReasonMap.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TDisconnectFacts Live() {
    TDisconnectFacts f;
    f.transportWasUp = true;
    f.sessionWasLive = true;
    return f;
}

TDisconnectReason ServerErrorInfo(uint32_t code) {
    TDisconnectFacts f = Live();
    f.errorInfo = code;
    f.lastError = kLastErrorErrInfoClass | code;
    return MapDisconnectReason(f);
}

TEST(DisconnectReasonMap, ServerErrorInfoOneToSevenIsRemoteByServer) {
    for (uint32_t code = 1; code <= 7; ++code)
        EXPECT_EQ(ServerErrorInfo(code), (TDisconnectReason{3, static_cast<int32_t>(code)})) << code;
}

TEST(DisconnectReasonMap, ProtocolErrorsAreRemoteByServerWithTheCode) {
    EXPECT_EQ(ServerErrorInfo(0x10C9), (TDisconnectReason{3, 0x10C9}));
    EXPECT_EQ(ServerErrorInfo(0x112F), (TDisconnectReason{3, 0x112F}));
}

TEST(DisconnectReasonMap, LogoffOnTheServerIsRemoteByUser) {
    EXPECT_EQ(ServerErrorInfo(0xC), (TDisconnectReason{2, 0xC}));
    EXPECT_EQ(ServerErrorInfo(0xB), (TDisconnectReason{2, 0xB}));
}

TEST(DisconnectReasonMap, LicensingErrorsAreLicensingFailed) {
    for (uint32_t code = 0x100; code <= 0x10A; ++code)
        EXPECT_EQ(ServerErrorInfo(code), (TDisconnectReason{2056, static_cast<int32_t>(code)})) << code;
    EXPECT_EQ(ServerErrorInfo(0x10B).reason, 3);
    EXPECT_EQ(ServerErrorInfo(0xFF).reason, 3);
}

TEST(DisconnectReasonMap, ErrorInfoOnlyInTheLastErrorStillCounts) {
    TDisconnectFacts f = Live();
    f.lastError = kLastErrorErrInfoClass | 0x5;
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{3, 5}));
}

TEST(DisconnectReasonMap, DroppedConnectionInALiveSessionIsSocketClosed) {
    TDisconnectFacts f = Live();
    f.lastError = kLastErrorTransportFailed;
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{2308, 0}));
    // Also when the drop hits the connect sequence after TCP stood.
    f.sessionWasLive = false;
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{2308, 0}));
}

TEST(DisconnectReasonMap, RefusedConnectionIsSocketConnectFailure) {
    TDisconnectFacts f;
    f.lastError = kLastErrorTransportFailed;
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{516, 0}));
    f.lastError = kLastErrorConnectFailed;
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{516, 0}));
}

TEST(DisconnectReasonMap, WatchdogTimeoutWinsOverTheLibrarysView) {
    TDisconnectFacts f;
    f.transportWasUp = true;
    f.connectTimedOut = true;
    f.lastError = kLastErrorConnectCancelled;
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{264, 0}));
}

TEST(DisconnectReasonMap, DnsFailure) {
    TDisconnectFacts f;
    f.lastError = kLastErrorDnsNameNotFound;
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{260, 0}));
    f.lastError = kLastErrorDnsError;
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{260, 0}));
}

TEST(DisconnectReasonMap, SecurityFailures) {
    TDisconnectFacts f;
    f.transportWasUp = true;
    f.lastError = kLastErrorTlsConnectFailed;
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{2310, 0}));
    f.lastError = kLastErrorSecurityNegoFailed;
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{2310, 0}));
    TDisconnectFacts refused;
    refused.certificateRefused = true;
    refused.lastError = kLastErrorTransportFailed;
    EXPECT_EQ(MapDisconnectReason(refused), (TDisconnectReason{2310, 0}));
}

TEST(DisconnectReasonMap, LocalAbort) {
    TDisconnectFacts f = Live();
    f.localRequest = true;
    f.lastError = kLastErrorConnectCancelled;
    f.errorInfo = 0xC;  // whatever the server said on the way out
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{1, 0}));
    TDisconnectFacts cancelled;
    cancelled.lastError = kLastErrorConnectCancelled;
    EXPECT_EQ(MapDisconnectReason(cancelled), (TDisconnectReason{1, 0}));
}

TEST(DisconnectReasonMap, AuthenticationRefusalsAreLogonFailures) {
    TDisconnectFacts f;
    f.transportWasUp = true;
    for (uint32_t error : {kLastErrorAuthenticationFailed, kLastErrorFirstAccountError, 0x00020014u,
                           kLastErrorLastAccountError})
    {
        f.lastError = error;
        EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{2055, 0})) << std::hex << error;
    }
}

TEST(DisconnectReasonMap, ASocketClosedInsideCredSspIsALogonFailure) {
    TDisconnectFacts f;
    f.transportWasUp = true;
    f.credSspChosen = true;
    f.lastError = kLastErrorTransportFailed;  // the server just closed the socket
    EXPECT_EQ(MapDisconnectReason(f), (TDisconnectReason{2055, 0}));
    f.errorInfo = 0x9;  // the server said why: that wins
    EXPECT_EQ(MapDisconnectReason(f).reason, 3);
    TDisconnectFacts live = Live();  // a live session's drop stays a closed socket
    live.credSspChosen = true;
    live.lastError = kLastErrorTransportFailed;
    EXPECT_EQ(MapDisconnectReason(live).reason, 2308);
    // A live session whose logon the server refused ends on the control's own abort.
    TDisconnectFacts refused = Live();
    refused.logonRefused = true;
    refused.localRequest = true;
    refused.errorInfo = 0xC;
    EXPECT_EQ(MapDisconnectReason(refused), (TDisconnectReason{2055, 0}));
}

TEST(DisconnectReasonMap, CallbackFailuresAreInternalErrors) {
    TDisconnectFacts f;
    f.lastError = kLastErrorPreConnectFailed;
    EXPECT_EQ(MapDisconnectReason(f).reason, 1032);
    f.lastError = kLastErrorPostConnectFailed;
    EXPECT_EQ(MapDisconnectReason(f).reason, 1032);
}

TEST(DisconnectReasonMap, NothingKnownFallsBackOnTheTransport) {
    EXPECT_EQ(MapDisconnectReason(Live()), (TDisconnectReason{2308, 0}));
    EXPECT_EQ(MapDisconnectReason(TDisconnectFacts{}), (TDisconnectReason{516, 0}));
}

}  // namespace
}  // namespace kiv
