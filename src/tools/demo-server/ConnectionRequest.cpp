#include "tools/demo-server/ConnectionRequest.h"

#include <cstring>
#include <string_view>

namespace kiv::demo {

namespace {

constexpr std::size_t kTpktHeader = 4;
constexpr std::size_t kX224Fixed = 7;  // length indicator, code, dst-ref, src-ref, class
constexpr std::size_t kVariableStart = kTpktHeader + kX224Fixed;
constexpr std::uint8_t kConnectionRequestCode = 0xE0;
constexpr std::uint8_t kNegotiationRequestType = 0x01;
constexpr std::uint8_t kCorrelationInfoType = 0x06;
constexpr std::size_t kNegotiationRequestSize = 8;
constexpr std::size_t kCorrelationInfoSize = 36;
constexpr std::string_view kCookiePrefix = "Cookie: mstshash=";

// What may follow the token or cookie: nothing, the negotiation request, or
// the negotiation request and the correlation info.
bool IsRequestTail(const std::uint8_t* tail, std::size_t size) {
    if (size == 0) return true;
    if (size == kNegotiationRequestSize) return tail[0] == kNegotiationRequestType;
    if (size == kNegotiationRequestSize + kCorrelationInfoSize) {
        return tail[0] == kNegotiationRequestType && tail[kNegotiationRequestSize] == kCorrelationInfoType;
    }
    return false;
}

}  // namespace

std::optional<std::size_t> TpktLength(const std::uint8_t* head, std::size_t size) {
    if (size < kTpktHeader || head[0] != 3 || head[1] != 0) return std::nullopt;
    const std::size_t length = (static_cast<std::size_t>(head[2]) << 8) | head[3];
    if (length < kTpktHeader) return std::nullopt;
    return length;
}

TConnectionRequest SplitConnectionRequest(const TBytes& pdu) {
    TConnectionRequest request;
    request.forwarded = pdu;
    const auto length = TpktLength(pdu.data(), pdu.size());
    if (!length || *length != pdu.size() || pdu.size() < kVariableStart) return request;
    const std::size_t indicator = pdu[kTpktHeader];
    if (pdu[kTpktHeader + 1] != kConnectionRequestCode || indicator + 1 + kTpktHeader != pdu.size()) return request;

    const std::uint8_t* variable = pdu.data() + kVariableStart;
    const std::size_t variableSize = pdu.size() - kVariableStart;
    if (IsRequestTail(variable, variableSize)) return request;

    // The token or cookie ends at the first CR LF that leaves a valid tail.
    std::optional<std::size_t> end;
    for (std::size_t i = 0; i + 1 < variableSize; ++i) {
        if (variable[i] == '\r' && variable[i + 1] == '\n' && IsRequestTail(variable + i + 2, variableSize - i - 2)) {
            end = i + 2;
            break;
        }
    }
    if (!end) return request;

    const std::string_view text(reinterpret_cast<const char*>(variable), *end - 2);
    if (text.substr(0, kCookiePrefix.size()) == kCookiePrefix) {
        // A cookie, which FreeRDP reads itself.
        request.cookie = std::string(text.substr(kCookiePrefix.size()));
        return request;
    }

    request.routingToken.assign(variable, variable + *end);
    TBytes forwarded(pdu.begin(), pdu.begin() + kVariableStart);
    forwarded.insert(forwarded.end(), variable + *end, variable + variableSize);
    const std::size_t newLength = forwarded.size();
    forwarded[2] = static_cast<std::uint8_t>(newLength >> 8);
    forwarded[3] = static_cast<std::uint8_t>(newLength & 0xFF);
    forwarded[kTpktHeader] = static_cast<std::uint8_t>(newLength - kTpktHeader - 1);
    request.forwarded = std::move(forwarded);
    return request;
}

}  // namespace kiv::demo
