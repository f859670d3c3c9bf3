#include "proxy/ProxyTunnel.h"

#include <string_view>
#include <utility>

#include "infra/DebugLog.h"
#include "proxy/ProxyRequests.h"

namespace kiv {

namespace {

using TAction = TProxyHandshakeStep::TAction;

std::string Printable(std::string_view text) {
    std::string out(text.substr(0, 120));
    for (char& c : out)
        if (c < 0x20 || c > 0x7E) c = '?';
    return out;
}

}  // namespace

TProxyTunnel::TProxyTunnel(asio::ip::tcp::socket local, TProxyRoute route, std::chrono::milliseconds handshakeTimeout,
                           std::shared_ptr<const TProxyStepObserver> observer, std::uint64_t id)
    : local_(std::move(local)),
      remote_(local_.get_executor()),
      resolver_(local_.get_executor()),
      deadline_(local_.get_executor()),
      handshake_(std::move(route)),
      handshakeTimeout_(handshakeTimeout),
      observer_(std::move(observer)),
      id_(id) {}

void TProxyTunnel::Report(const char* step, std::string detail) {
    if (!observer_ || !*observer_) return;
    (*observer_)(TProxyStep{id_, step, Printable(detail)});
}

void TProxyTunnel::Start() {
    asio::error_code ignored;
    const asio::ip::tcp::endpoint peer = local_.remote_endpoint(ignored);
    Report("accept", ignored ? std::string("local connection") : HostPortText(peer.address().to_string(), peer.port()));

    const TProxyRoute& route = handshake_.Route();
    if (!route.problem.empty()) {
        Fail(route.problem);
        return;
    }
    deadline_.expires_after(handshakeTimeout_);
    deadline_.async_wait([self = shared_from_this()](const asio::error_code& error) {
        if (!error) self->OnDeadline();
    });
    if (handshake_.NeedsTargetAddress())
        ResolveTargetAddress();
    else
        ConnectFirstHop();
}

// SOCKS 4 carries an IPv4 address only: the name is looked up here.
void TProxyTunnel::ResolveTargetAddress() {
    const TProxyRoute& route = handshake_.Route();
    Report("resolve", route.targetHost);
    resolver_.async_resolve(
        asio::ip::tcp::v4(), route.targetHost, std::to_string(route.targetPort), asio::ip::resolver_base::numeric_service,
        [self = shared_from_this()](const asio::error_code& error, const asio::ip::tcp::resolver::results_type& results) {
            if (self->closed_) return;
            const std::string& host = self->handshake_.Route().targetHost;
            if (error) {
                self->Fail("cannot look up " + Printable(host) + ": " + error.message());
                return;
            }
            for (const auto& entry : results) {
                const asio::ip::address address = entry.endpoint().address();
                if (!address.is_v4()) continue;
                self->handshake_.SetTargetAddress(address.to_v4().to_bytes());
                self->ConnectFirstHop();
                return;
            }
            self->Fail("no IPv4 address for " + Printable(host));
        });
}

void TProxyTunnel::ConnectFirstHop() {
    const TProxyRoute& route = handshake_.Route();
    const bool direct = route.kind == TProxyKind::Direct;
    const std::string& host = direct ? route.targetHost : route.proxyHost;
    const uint16_t port = direct ? route.targetPort : route.proxyPort;
    Report("connect", FirstHopText(route));

    asio::error_code notLiteral;
    const asio::ip::address literal = asio::ip::make_address(host, notLiteral);
    if (!notLiteral) {
        remote_.async_connect(asio::ip::tcp::endpoint(literal, port),
                              [self = shared_from_this()](const asio::error_code& error) {
                                  self->OnFirstHopConnected(error);
                              });
        return;
    }
    Report("resolve", host);
    resolver_.async_resolve(
        host, std::to_string(port), asio::ip::resolver_base::numeric_service,
        [self = shared_from_this()](const asio::error_code& error, const asio::ip::tcp::resolver::results_type& results) {
            if (self->closed_) return;
            if (error) {
                const TProxyRoute& route = self->handshake_.Route();
                const std::string& name = route.kind == TProxyKind::Direct ? route.targetHost : route.proxyHost;
                self->Fail("cannot look up " + Printable(name) + ": " + error.message());
                return;
            }
            asio::async_connect(self->remote_, results,
                                [self](const asio::error_code& error, const asio::ip::tcp::endpoint&) {
                                    self->OnFirstHopConnected(error);
                                });
        });
}

void TProxyTunnel::OnFirstHopConnected(const asio::error_code& error) {
    if (closed_) return;
    if (error) {
        if (handshake_.Route().kind == TProxyKind::Direct)
            Fail(error.message());
        else
            Fail("proxy unreachable (" + error.message() + ")");
        return;
    }
    asio::error_code ignored;
    remote_.set_option(asio::ip::tcp::no_delay(true), ignored);
    Follow(handshake_.Begin());
}

void TProxyTunnel::Follow(TProxyHandshakeStep step) {
    if (!step.received.empty()) Report("receive", step.received);
    switch (step.action) {
    case TAction::Send:
        Report("send", step.sent);
        outgoing_ = std::move(step.bytes);
        asio::async_write(remote_, asio::buffer(outgoing_),
                          [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                              if (self->closed_) return;
                              if (error) {
                                  self->Fail("cannot send to the proxy (" + error.message() + ")");
                                  return;
                              }
                              // An answer may already be waiting in what was read before.
                              self->Follow(self->handshake_.Receive({}));
                          });
        return;
    case TAction::Wait:
        ReadAnswer();
        return;
    case TAction::Reconnect: {
        Report("reconnect", "the proxy does not keep this connection: the credentials go on a new one");
        asio::error_code ignored;
        remote_.close(ignored);
        ConnectFirstHop();
        return;
    }
    case TAction::Open:
        Open();
        return;
    case TAction::Fail:
        Fail(step.reason);
        return;
    }
}

void TProxyTunnel::ReadAnswer() {
    remote_.async_read_some(asio::buffer(answer_),
                            [self = shared_from_this()](const asio::error_code& error, std::size_t size) {
                                if (self->closed_) return;
                                if (error) {
                                    self->Fail(error == asio::error::eof
                                                   ? std::string("the proxy closed the connection")
                                                   : "cannot read from the proxy (" + error.message() + ")");
                                    return;
                                }
                                self->Follow(self->handshake_.Receive(std::string_view(self->answer_.data(), size)));
                            });
}

void TProxyTunnel::Open() {
    opened_ = true;
    deadline_.cancel();
    asio::error_code ignored;
    local_.set_option(asio::ip::tcp::no_delay(true), ignored);
    const TProxyRoute& route = handshake_.Route();
    const std::string target = HostPortText(route.targetHost, route.targetPort);
    Report("open", route.kind == TProxyKind::Direct ? "direct to " + target
                                                    : std::string(ProxyKindName(route.kind)) + " through " +
                                                          FirstHopText(route) + " to " + target);

    local_.non_blocking(true, ignored);
    remote_.non_blocking(true, ignored);
    toRemote_ = TRelay{&local_, &remote_, std::make_unique_for_overwrite<char[]>(kRelayBufferSize)};
    toLocal_ = TRelay{&remote_, &local_, std::make_unique_for_overwrite<char[]>(kRelayBufferSize)};
    Pump(toRemote_);
    leftover_ = handshake_.TakeLeftover();
    if (leftover_.empty()) {
        Pump(toLocal_);
        return;
    }
    asio::async_write(local_, asio::buffer(leftover_), [self = shared_from_this()](const asio::error_code& error, std::size_t) {
        if (self->closed_) return;
        if (error) {
            self->Finish();
            return;
        }
        self->Pump(self->toLocal_);
    });
}

// Whatever arrived goes on at once, without waiting while the sockets allow:
// a read takes what the kernel holds, one write passes it on, and only a socket
// with nothing to read or no room to write waits (for readiness, not for a
// composed operation). The next read waits until the last read is written, so a
// slow reader on one side slows the other side's sender instead of filling memory.
// A GiB costs some 2,600 system calls this way, so what is left of the relay's
// time is the kernel copying and the second TCP hop (bench/bench_port_mapper.sh
// shows it as the relay's CPU per GiB). Tried on loopback and left out, as they
// cost more than they saved: splice() through a pipe (the relay's own time went
// down, the receiving end's reads of the handed-on pages cost more than that)
// and fixed 4 MiB socket buffers (no gain beyond the noise over autotuning).
void TProxyTunnel::Pump(TRelay& relay) {
    // A few rounds at most, then the other direction and the other tunnels get their turn.
    for (int round = 0; round < 4; ++round) {
        asio::error_code error;
        if (relay.pending == 0) {
            const std::size_t size = relay.from->read_some(asio::buffer(relay.buffer.get(), kRelayBufferSize), error);
            if (error == asio::error::would_block || error == asio::error::try_again) {
                WaitThenPump(relay, *relay.from, asio::socket_base::wait_read);
                return;
            }
            if (error) {
                EndOfInput(relay, error);
                return;
            }
            relay.begin = 0;
            relay.pending = size;
        }
        const std::size_t sent =
            relay.to->write_some(asio::buffer(relay.buffer.get() + relay.begin, relay.pending), error);
        if (error && error != asio::error::would_block && error != asio::error::try_again) {
            Finish();
            return;
        }
        relay.begin += sent;
        relay.pending -= sent;
        if (relay.pending != 0) {
            WaitThenPump(relay, *relay.to, asio::socket_base::wait_write);
            return;
        }
    }
    asio::post(local_.get_executor(), [self = shared_from_this(), &relay] {
        if (!self->closed_) self->Pump(relay);
    });
}

void TProxyTunnel::WaitThenPump(TRelay& relay, asio::ip::tcp::socket& socket, asio::socket_base::wait_type wait) {
    socket.async_wait(wait, [self = shared_from_this(), &relay](const asio::error_code& error) {
        if (self->closed_) return;
        if (error) {
            self->Finish();
            return;
        }
        self->Pump(relay);
    });
}

// An orderly end of one direction is passed on as a half-close, so either side
// can still finish sending; the tunnel ends when both directions have ended or
// when either side breaks.
void TProxyTunnel::EndOfInput(TRelay& relay, const asio::error_code& error) {
    if (error != asio::error::eof) {
        if (DebugSwitches[dmMain]) {
            const TProxyRoute& route = handshake_.Route();
            WriteLog("[TProxy]tunnel " + std::string(&relay == &toRemote_ ? "from the local side" : "from " + FirstHopText(route)) +
                     " broken: " + error.message());
        }
        Finish();
        return;
    }
    asio::error_code ignored;
    relay.to->shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    relay.ended = true;
    if (toRemote_.ended && toLocal_.ended) Finish();
}

void TProxyTunnel::OnDeadline() {
    if (opened_ || closed_) return;
    const std::string limit = std::to_string(handshakeTimeout_.count()) + " ms";
    if (handshake_.Route().kind == TProxyKind::Direct)
        Fail("no connection within " + limit);
    else
        Fail("the proxy did not answer within " + limit);
}

void TProxyTunnel::Fail(const std::string& reason) {
    if (closed_) return;
    if (DebugSwitches[dmMain]) {
        const TProxyRoute& route = handshake_.Route();
        WriteLog("[TProxy]connect " + std::string(route.kind == TProxyKind::Direct ? "to " : "through ") +
                 Printable(FirstHopText(route)) + " failed: " + Printable(reason));
    }
    Report("fail", reason);
    Finish();
}

void TProxyTunnel::Finish() {
    if (closed_) return;
    closed_ = true;
    asio::error_code ignored;
    deadline_.cancel();
    resolver_.cancel();
    local_.close(ignored);
    remote_.close(ignored);
    Report("close", opened_ ? "tunnel closed" : "local connection closed");
}

void TProxyTunnel::Close() { Finish(); }

}  // namespace kiv
