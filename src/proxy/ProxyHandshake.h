#pragma once
// The conversation with a proxy up to the moment it carries the tunnelled bytes,
// without any socket: the caller connects, sends what a step asks for, hands
// every byte read from the proxy to Receive, and follows the step's action.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "proxy/ProxyHttpAnswer.h"
#include "proxy/ProxyRoute.h"

namespace kiv {

// An answer to CONNECT with a longer body than this is not read through: the
// retry with credentials goes on a new connection instead.
inline constexpr std::uint64_t kMaxSkippedProxyBody = 1 << 20;

struct TProxyHandshakeStep {
    enum class TAction {
        Send,       // write `bytes` to the proxy, then read on
        Wait,       // read on
        Reconnect,  // close this connection to the proxy, open a new one, call Begin again
        Open,       // the tunnel is up; TakeLeftover holds the target's first bytes, if any came
        Fail,       // give up; `reason` says why
    };
    TAction action = TAction::Wait;
    std::string bytes;
    std::string sent;      // Send: what `bytes` are, in short (passwords left out)
    std::string received;  // what the proxy's answer was, in short, when one was read whole
    std::string reason;    // Fail
};

class TProxyHandshake {
public:
    explicit TProxyHandshake(TProxyRoute route);

    const TProxyRoute& Route() const { return route_; }

    // SOCKS 4 carries only an IPv4 address: a target given by name is looked up
    // by the caller first and handed over here.
    bool NeedsTargetAddress() const;
    void SetTargetAddress(const std::array<uint8_t, 4>& address) { targetAddress_ = address; }

    // After each connection to the proxy (and, direct, to the target).
    TProxyHandshakeStep Begin();
    // Also with no bytes, after each Send has been written: the answer to it may
    // have come with the bytes read before.
    TProxyHandshakeStep Receive(std::string_view bytes);

    // The bytes that followed the proxy's last answer: the start of the tunnel.
    std::string TakeLeftover();

    bool CredentialsSent() const { return credentialsSent_; }

private:
    enum class TPhase { Idle, HttpHead, HttpSkipBody, Socks4Reply, Socks5Method, Socks5Auth, Socks5Connect, Open, Failed };

    TProxyHandshakeStep Advance();
    TProxyHandshakeStep AfterHttpHead(const THttpProxyAnswer& answer);
    TProxyHandshakeStep SendHttpRequest();
    TProxyHandshakeStep SendSocks5Connect();
    TProxyHandshakeStep Opened(std::size_t consumed, std::string received);
    TProxyHandshakeStep Failed(std::string reason, std::string received = {});

    TProxyRoute route_;
    TPhase phase_ = TPhase::Idle;
    std::string buffer_;
    std::string leftover_;
    std::uint64_t bodyLeft_ = 0;
    bool credentialsSent_ = false;
    std::optional<std::array<uint8_t, 4>> targetAddress_;
};

}  // namespace kiv
