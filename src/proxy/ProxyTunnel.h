#pragma once
// One local connection of the mapper and its own outgoing connection: the
// connection to the proxy (or the target), the handshake, then bytes copied in
// both directions as soon as they arrive. Lives on the mapper's I/O thread; it
// keeps itself alive through its pending operations and is gone once both
// sockets are closed and the last handler has run.
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include <asio.hpp>

#include "proxy/ProxyHandshake.h"
#include "proxy/ProxyStep.h"

namespace kiv {

class TProxyTunnel : public std::enable_shared_from_this<TProxyTunnel> {
public:
    // Bytes read in one go in each direction: on loopback a read takes all the
    // kernel holds, so a larger buffer means fewer reads, writes and wake-ups.
    static constexpr std::size_t kRelayBufferSize = 1024 * 1024;

    TProxyTunnel(asio::ip::tcp::socket local, TProxyRoute route, std::chrono::milliseconds handshakeTimeout,
                 std::shared_ptr<const TProxyStepObserver> observer, std::uint64_t id);

    void Start();
    // Closes both sides at once, quietly: the mapper is stopping.
    void Close();
    bool Closed() const { return closed_; }

private:
    struct TRelay {
        asio::ip::tcp::socket* from = nullptr;
        asio::ip::tcp::socket* to = nullptr;
        std::unique_ptr<char[]> buffer;
        std::size_t begin = 0;    // the bytes read and not yet written: [begin, begin + pending)
        std::size_t pending = 0;
        bool ended = false;
    };

    void Report(const char* step, std::string detail);
    void ResolveTargetAddress();
    void ConnectFirstHop();
    void OnFirstHopConnected(const asio::error_code& error);
    void Follow(TProxyHandshakeStep step);
    void ReadAnswer();
    void Open();
    void Pump(TRelay& relay);
    void WaitThenPump(TRelay& relay, asio::ip::tcp::socket& socket, asio::socket_base::wait_type wait);
    void EndOfInput(TRelay& relay, const asio::error_code& error);
    void OnDeadline();
    void Fail(const std::string& reason);
    void Finish();

    asio::ip::tcp::socket local_;
    asio::ip::tcp::socket remote_;
    asio::ip::tcp::resolver resolver_;
    asio::steady_timer deadline_;
    TProxyHandshake handshake_;
    std::chrono::milliseconds handshakeTimeout_;
    std::shared_ptr<const TProxyStepObserver> observer_;
    std::uint64_t id_;

    std::string outgoing_;  // the handshake bytes being written
    std::array<char, 4096> answer_{};
    std::string leftover_;  // the target's first bytes that came with the proxy's answer
    TRelay toRemote_;
    TRelay toLocal_;
    bool opened_ = false;
    bool closed_ = false;
};

}  // namespace kiv
