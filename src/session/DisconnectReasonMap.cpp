#include "session/DisconnectReasonMap.h"

namespace kiv {

namespace {

TDisconnectReason FromErrorInfo(uint32_t code) {
    const auto extended = static_cast<int32_t>(code);
    if (code == kErrInfoLogoffByUser || code == kErrInfoDisconnectByUser) return {kDiscRemoteByUser, extended};
    if (code >= kErrInfoFirstLicensing && code <= kErrInfoLastLicensing) return {kDiscLicensingFailed, extended};
    return {kDiscRemoteByServer, extended};
}

// A failure of the transport: before the TCP connection stood the server could
// not be reached; afterwards the socket was closed under us.
int32_t TransportFailure(const TDisconnectFacts& facts) {
    return (facts.transportWasUp || facts.sessionWasLive) ? kDiscSocketClosed : kDiscSocketConnectFailed;
}

}  // namespace

TDisconnectReason MapDisconnectReason(const TDisconnectFacts& facts) {
    // What the client itself decided comes first: the library reports those as a
    // cancelled connection or a transport error, which would hide the cause.
    if (facts.logonRefused) return {kDiscLogonFailed, 0};
    if (facts.localRequest) return {kDiscLocal, 0};
    if (facts.connectTimedOut) return {kDiscConnectTimeout, 0};
    if (facts.certificateRefused) return {kDiscSecurityError, 0};

    if (facts.errorInfo != 0) return FromErrorInfo(facts.errorInfo);
    // A server that chose CredSSP and then closed the socket before the session
    // stood refused the credentials: it says no more than that.
    if (facts.credSspChosen && !facts.sessionWasLive && facts.lastError == kLastErrorTransportFailed)
        return {kDiscLogonFailed, 0};

    const uint32_t error = facts.lastError;
    if ((error & 0xFFFF0000u) == kLastErrorErrInfoClass && (error & 0xFFFFu) != 0)
        return FromErrorInfo(error & 0xFFFFu);

    switch (error) {
        case kLastErrorDnsError:
        case kLastErrorDnsNameNotFound:
            return {kDiscDnsLookupFailed, 0};
        case kLastErrorConnectCancelled:
            return {kDiscLocal, 0};
        case kLastErrorTlsConnectFailed:
        case kLastErrorSecurityNegoFailed:
            return {kDiscSecurityError, 0};
        case kLastErrorAuthenticationFailed:
        case kLastErrorInsufficientPrivileges:
            return {kDiscLogonFailed, 0};
        case kLastErrorPreConnectFailed:
        case kLastErrorPostConnectFailed:
            return {kDiscInternalError, 0};
        case kLastErrorConnectFailed:
        case kLastErrorTransportFailed:
        case kLastErrorMcsConnectInitial:
            return {TransportFailure(facts), 0};
        default:
            break;
    }
    if (error >= kLastErrorFirstAccountError && error <= kLastErrorLastAccountError) return {kDiscLogonFailed, 0};
    return {TransportFailure(facts), 0};
}

}  // namespace kiv
