// Any bytes as a proxy's answer. The first byte picks what reads them: one of
// the answer parsers, or a whole handshake of one proxy kind fed in pieces. The
// parsers must not read past the bytes, must count what they take within them,
// and must keep their verdict when more bytes arrive; a handshake must hand on
// exactly the bytes it did not take.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "proxy/ProxyHandshake.h"
#include "proxy/ProxyHttpAnswer.h"
#include "proxy/ProxySocksAnswers.h"

namespace {

using kiv::TProxyAnswerState;

struct TVerdict {
    TProxyAnswerState state;
    std::size_t consumed;
};

TVerdict Parse(int parser, std::string_view bytes) {
    switch (parser) {
    case 0: {
        const kiv::THttpProxyAnswer answer = kiv::ParseHttpProxyAnswer(bytes);
        if (answer.state == TProxyAnswerState::Done && (answer.status < 100 || answer.status > 999)) __builtin_trap();
        if (answer.state == TProxyAnswerState::Error && answer.reason.empty()) __builtin_trap();
        return {answer.state, answer.consumed};
    }
    case 1: {
        const kiv::TSocksAnswer answer = kiv::ParseSocks4Reply(bytes);
        return {answer.state, answer.consumed};
    }
    case 2: {
        const kiv::TSocksAnswer answer = kiv::ParseSocks5MethodReply(bytes);
        return {answer.state, answer.consumed};
    }
    case 3: {
        const kiv::TSocksAnswer answer = kiv::ParseSocks5AuthReply(bytes);
        return {answer.state, answer.consumed};
    }
    default: {
        const kiv::TSocksAnswer answer = kiv::ParseSocks5ConnectReply(bytes);
        if (answer.state == TProxyAnswerState::Done && answer.consumed < 7) __builtin_trap();
        return {answer.state, answer.consumed};
    }
    }
}

void CheckParser(int parser, std::string_view bytes) {
    const TVerdict whole = Parse(parser, bytes);
    if (whole.state == TProxyAnswerState::Done && (whole.consumed == 0 || whole.consumed > bytes.size())) __builtin_trap();
    if (whole.state != TProxyAnswerState::Done && whole.consumed != 0) __builtin_trap();
    // A verdict reached on fewer bytes stands.
    for (std::size_t cut = 0; cut < bytes.size() && cut < 64; ++cut) {
        const TVerdict part = Parse(parser, bytes.substr(0, cut));
        if (part.state == TProxyAnswerState::NeedMore) continue;
        if (part.state != whole.state) __builtin_trap();
        if (part.state == TProxyAnswerState::Done && part.consumed != whole.consumed) __builtin_trap();
    }
}

void CheckHandshake(int kind, std::string_view bytes) {
    kiv::TProxyRoute route;
    route.kind = static_cast<kiv::TProxyKind>(1 + kind % 4);  // every kind that talks to a proxy
    route.proxyHost = "127.0.0.1";
    route.proxyPort = 3128;
    route.user = kind >= 4 ? "user" : "";
    route.password = "password";
    route.targetHost = "127.0.0.1";
    route.targetPort = 3389;
    kiv::TProxyHandshake handshake(route);
    using TAction = kiv::TProxyHandshakeStep::TAction;
    // Driven as the tunnel drives it: after each write, what is already buffered
    // is looked at again; then pieces of 1 to 16 bytes, sized by the data itself.
    kiv::TProxyHandshakeStep step = handshake.Begin();
    if (step.action != TAction::Send) __builtin_trap();
    std::size_t at = 0;
    int reconnects = 0;
    for (int turns = 0; turns < 10000; ++turns) {
        switch (step.action) {
        case TAction::Send:
            if (step.bytes.empty()) __builtin_trap();
            step = handshake.Receive({});
            break;
        case TAction::Wait: {
            if (at >= bytes.size()) return;
            const std::size_t piece = 1 + static_cast<unsigned char>(bytes[at]) % 16;
            const std::string_view chunk = bytes.substr(at, piece);
            at += chunk.size();
            step = handshake.Receive(chunk);
            break;
        }
        case TAction::Reconnect:
            if (++reconnects > 1) __builtin_trap();  // one retry at most
            step = handshake.Begin();
            if (step.action != TAction::Send) __builtin_trap();
            break;
        case TAction::Open:
            if (handshake.TakeLeftover().size() > at) __builtin_trap();
            if (handshake.Receive("x").action != TAction::Fail) __builtin_trap();
            return;
        case TAction::Fail:
            if (step.reason.empty()) __builtin_trap();
            return;
        }
    }
    __builtin_trap();  // a handshake that never settles
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int selector = data[0] % 13;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (selector < 5)
        CheckParser(selector, bytes);
    else
        CheckHandshake(selector - 5, bytes);
    return 0;
}
