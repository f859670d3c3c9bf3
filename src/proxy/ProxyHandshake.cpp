#include "proxy/ProxyHandshake.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "proxy/ProxyRequests.h"
#include "proxy/ProxySocksAnswers.h"

namespace kiv {

namespace {

using TAction = TProxyHandshakeStep::TAction;

// Names and answers shown in the steps come from outside: only printable ASCII.
std::string Printable(std::string_view text, std::size_t limit = 80) {
    std::string out(text.substr(0, limit));
    for (char& c : out)
        if (c < 0x20 || c > 0x7E) c = '?';
    if (text.size() > limit) out += "...";
    return out;
}

std::string HexBytes(std::string_view bytes, std::size_t limit = 16) {
    std::string out;
    char pair[4];
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", static_cast<unsigned char>(bytes[i]));
        out += pair;
    }
    if (bytes.size() > limit) out += " ...";
    return out;
}

std::string Hex2(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

TProxyHandshakeStep SendStep(std::string bytes, std::string sent) {
    TProxyHandshakeStep step;
    step.action = TAction::Send;
    step.bytes = std::move(bytes);
    step.sent = std::move(sent);
    return step;
}

std::string HeadText(const THttpProxyAnswer& answer) {
    std::string text = Printable(answer.statusLine);
    if (answer.contentLength) text += ", Content-Length " + std::to_string(*answer.contentLength);
    if (answer.chunked) text += ", chunked";
    text += answer.keepAlive ? ", keep-alive" : ", close";
    return text;
}

}  // namespace

TProxyHandshake::TProxyHandshake(TProxyRoute route) : route_(std::move(route)) {}

bool TProxyHandshake::NeedsTargetAddress() const {
    return route_.problem.empty() && route_.kind == TProxyKind::Socks4 && !targetAddress_ &&
           !LiteralIPv4(route_.targetHost);
}

std::string TProxyHandshake::TakeLeftover() { return std::exchange(leftover_, std::string()); }

TProxyHandshakeStep TProxyHandshake::Failed(std::string reason, std::string received) {
    phase_ = TPhase::Failed;
    TProxyHandshakeStep step;
    step.action = TAction::Fail;
    step.reason = std::move(reason);
    step.received = std::move(received);
    return step;
}

TProxyHandshakeStep TProxyHandshake::Opened(std::size_t consumed, std::string received) {
    leftover_ = buffer_.substr(std::min(consumed, buffer_.size()));
    buffer_.clear();
    phase_ = TPhase::Open;
    TProxyHandshakeStep step;
    step.action = TAction::Open;
    step.received = std::move(received);
    return step;
}

TProxyHandshakeStep TProxyHandshake::Begin() {
    buffer_.clear();
    leftover_.clear();
    if (!route_.problem.empty()) return Failed(route_.problem);
    const std::string target = HostPortText(route_.targetHost, route_.targetPort);
    switch (route_.kind) {
    case TProxyKind::Direct:
        phase_ = TPhase::Open;
        return TProxyHandshakeStep{TAction::Open, {}, {}, {}, {}};
    case TProxyKind::HttpConnect:
        return SendHttpRequest();
    case TProxyKind::Socks4: {
        std::optional<std::array<uint8_t, 4>> address = targetAddress_;
        if (!address) address = LiteralIPv4(route_.targetHost);
        if (!address) return Failed("no IPv4 address for " + Printable(route_.targetHost));
        phase_ = TPhase::Socks4Reply;
        char text[20];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", (*address)[0], (*address)[1], (*address)[2], (*address)[3]);
        return SendStep(Socks4Request(*address, route_.targetPort, route_.user),
                        "SOCKS 4 CONNECT " + std::string(text) + ":" + std::to_string(route_.targetPort));
    }
    case TProxyKind::Socks4a: {
        std::string request = Socks4aRequest(route_.targetHost, route_.targetPort, route_.user);
        if (request.empty()) return Failed("the target host name cannot be sent");
        phase_ = TPhase::Socks4Reply;
        return SendStep(std::move(request),
                        "SOCKS 4A CONNECT " + Printable(target) + ", user id " + Printable(route_.user));
    }
    case TProxyKind::Socks5: {
        const bool userPassword = !route_.user.empty();
        phase_ = TPhase::Socks5Method;
        return SendStep(Socks5Greeting(userPassword),
                        userPassword ? "SOCKS 5 greeting, method 0x02 (user/password)"
                                     : "SOCKS 5 greeting, method 0x00 (no authentication)");
    }
    }
    return Failed("unknown proxy kind");
}

TProxyHandshakeStep TProxyHandshake::SendHttpRequest() {
    phase_ = TPhase::HttpHead;
    std::string sent = "CONNECT " + Printable(HostPortText(route_.targetHost, route_.targetPort)) + " HTTP/1.1";
    if (!credentialsSent_) return SendStep(HttpConnectRequest(route_.targetHost, route_.targetPort, nullptr), sent);
    const TProxyCredentials credentials{route_.user, route_.password};
    sent += " with Proxy-authorization for " + Printable(route_.user);
    return SendStep(HttpConnectRequest(route_.targetHost, route_.targetPort, &credentials), sent);
}

TProxyHandshakeStep TProxyHandshake::SendSocks5Connect() {
    std::optional<std::string> request = Socks5ConnectRequest(route_.targetHost, route_.targetPort);
    if (!request) return Failed("the target host name cannot be sent");
    phase_ = TPhase::Socks5Connect;
    return SendStep(std::move(*request),
                    "SOCKS 5 CONNECT " + Printable(HostPortText(route_.targetHost, route_.targetPort)));
}

TProxyHandshakeStep TProxyHandshake::Receive(std::string_view bytes) {
    switch (phase_) {
    case TPhase::Idle:
    case TPhase::Open:
    case TPhase::Failed:
        return Failed("bytes from the proxy out of turn", HexBytes(bytes));
    default:
        break;
    }
    if (phase_ == TPhase::HttpSkipBody) {
        // The body goes nowhere: no need to keep it.
        const std::uint64_t skipped = std::min<std::uint64_t>(bodyLeft_, bytes.size());
        bodyLeft_ -= skipped;
        bytes.remove_prefix(static_cast<std::size_t>(skipped));
    }
    buffer_.append(bytes);
    return Advance();
}

TProxyHandshakeStep TProxyHandshake::Advance() {
    switch (phase_) {
    case TPhase::HttpHead: {
        const THttpProxyAnswer answer = ParseHttpProxyAnswer(buffer_);
        if (answer.state == TProxyAnswerState::NeedMore) return TProxyHandshakeStep{};
        if (answer.state == TProxyAnswerState::Error)
            return Failed("bad answer from the proxy: " + answer.reason, Printable(buffer_.substr(0, buffer_.find('\n'))));
        buffer_.erase(0, answer.consumed);
        return AfterHttpHead(answer);
    }
    case TPhase::HttpSkipBody: {
        const std::uint64_t skipped = std::min<std::uint64_t>(bodyLeft_, buffer_.size());
        buffer_.erase(0, static_cast<std::size_t>(skipped));
        bodyLeft_ -= skipped;
        if (bodyLeft_ > 0) return TProxyHandshakeStep{};
        return SendHttpRequest();
    }
    case TPhase::Socks4Reply: {
        const TSocksAnswer answer = ParseSocks4Reply(buffer_);
        if (answer.state == TProxyAnswerState::NeedMore) return TProxyHandshakeStep{};
        if (answer.state == TProxyAnswerState::Error) return Failed(answer.reason, HexBytes(buffer_));
        return Opened(answer.consumed, "SOCKS 4 reply " + Hex2(answer.code) + " (" + Socks4ReplyText(answer.code) + ")");
    }
    case TPhase::Socks5Method: {
        const TSocksAnswer answer = ParseSocks5MethodReply(buffer_);
        if (answer.state == TProxyAnswerState::NeedMore) return TProxyHandshakeStep{};
        if (answer.state == TProxyAnswerState::Error) return Failed(answer.reason, HexBytes(buffer_));
        buffer_.erase(0, answer.consumed);
        const bool userPassword = !route_.user.empty();
        const std::string received = "SOCKS 5 method " + Hex2(answer.code);
        TProxyHandshakeStep step;
        if (userPassword && answer.code == kSocks5UserPassword) {
            phase_ = TPhase::Socks5Auth;
            step = SendStep(Socks5UserPasswordRequest(route_.user, route_.password),
                            "SOCKS 5 user/password for " + Printable(route_.user));
        } else if (!userPassword && answer.code == kSocks5NoAuth) {
            step = SendSocks5Connect();
        } else {
            return Failed("the SOCKS 5 proxy chose method " + Hex2(answer.code) + ", which was not offered", received);
        }
        step.received = received;
        return step;
    }
    case TPhase::Socks5Auth: {
        const TSocksAnswer answer = ParseSocks5AuthReply(buffer_);
        if (answer.state == TProxyAnswerState::NeedMore) return TProxyHandshakeStep{};
        if (answer.state == TProxyAnswerState::Error) return Failed(answer.reason, HexBytes(buffer_));
        buffer_.erase(0, answer.consumed);
        TProxyHandshakeStep step = SendSocks5Connect();
        step.received = "SOCKS 5 user/password accepted";
        return step;
    }
    case TPhase::Socks5Connect: {
        const TSocksAnswer answer = ParseSocks5ConnectReply(buffer_);
        if (answer.state == TProxyAnswerState::NeedMore) return TProxyHandshakeStep{};
        if (answer.state == TProxyAnswerState::Error) return Failed(answer.reason, HexBytes(buffer_));
        return Opened(answer.consumed, "SOCKS 5 reply 0 (succeeded), bound " +
                                           Printable(HostPortText(answer.boundHost, answer.boundPort)));
    }
    default:
        return Failed("bytes from the proxy out of turn");
    }
}

TProxyHandshakeStep TProxyHandshake::AfterHttpHead(const THttpProxyAnswer& answer) {
    const std::string received = HeadText(answer);
    if (answer.status >= 200 && answer.status <= 299) return Opened(0, received);
    if (answer.status != 407) {
        std::string reason = "HTTP " + std::to_string(answer.status);
        const std::string_view phrase = StatusReasonPhrase(answer.statusLine);
        if (!phrase.empty()) reason += " " + Printable(phrase);
        return Failed(std::move(reason), received);
    }
    if (route_.user.empty()) return Failed("HTTP 407, and no proxy user is set", received);
    if (credentialsSent_) return Failed("HTTP 407 twice", received);
    credentialsSent_ = true;

    const bool sameConnection = answer.keepAlive && !answer.chunked && answer.contentLength &&
                                *answer.contentLength <= kMaxSkippedProxyBody;
    if (!sameConnection) {
        // The proxy ends this connection (or its body has no known end): the
        // retry starts afresh.
        phase_ = TPhase::Idle;
        TProxyHandshakeStep step;
        step.action = TAction::Reconnect;
        step.received = received;
        return step;
    }
    phase_ = TPhase::HttpSkipBody;
    bodyLeft_ = *answer.contentLength;
    TProxyHandshakeStep step = Advance();
    step.received = received;
    return step;
}

}  // namespace kiv
