#pragma once
// The local port mapper: the remote-desktop control cannot use a proxy by
// itself, so it dials 127.0.0.1 on the mapper's port, and for every local
// connection the mapper opens its own connection to the terminal server through
// the farm's proxy (HTTP CONNECT, SOCKS 4/4A or SOCKS 5) or directly, and copies
// bytes both ways. All the network work runs on the mapper's own I/O thread;
// the methods below may be called from any one other thread.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "launch/KivFile.h"
#include "proxy/PortMapper.h"
#include "proxy/ProxyStep.h"

namespace kiv {

class TProxy : public IPortMapper {
public:
    static constexpr std::chrono::milliseconds kDefaultHandshakeTimeout{15000};

    TProxy();  // stopped; its I/O thread waits for work
    ~TProxy() override;
    TProxy(const TProxy&) = delete;
    TProxy& operator=(const TProxy&) = delete;

    void SetProxy(const TProxySet& proxy) override;
    // True: the listener is (re)started on the first free port from 5890 on the
    // loopback address only, type 1 becoming the system's proxy first. No port
    // to be had: a log line, and GetLocalPort answers 0. False: the listener and
    // every tunnel are closed.
    void SetActive(bool active) override;
    void SetTargetHost(const std::string& host) override;
    void SetTargetPort(int32_t port) override;
    int32_t GetLocalPort() const override;

    // A proxy that accepts the connection but never answers is given up after
    // this long (and the local connection closed); it also bounds the connect.
    void SetHandshakeTimeout(std::chrono::milliseconds timeout);
    void SetStepObserver(TProxyStepObserver observer);

    // The settings as the tunnels use them (type 1 resolved by the last start).
    TProxySet ProxySettings() const;
    // Tunnels not yet fully gone (their sockets or pending operations).
    std::size_t OpenTunnelCount() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

}  // namespace kiv
