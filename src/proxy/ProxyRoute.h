#pragma once
// How one tunnel reaches its target: directly or through which kind of proxy,
// with what credentials. Taken from the farm's proxy settings (with the system
// proxy already resolved) when a local connection arrives.
#include <cstdint>
#include <string>
#include <string_view>

#include "launch/KivFile.h"

namespace kiv {

enum class TProxyKind { Direct, HttpConnect, Socks4, Socks4a, Socks5 };

struct TProxyRoute {
    TProxyKind kind = TProxyKind::Direct;
    std::string proxyHost;
    uint16_t proxyPort = 0;
    std::string user;
    std::string password;
    std::string targetHost;
    uint16_t targetPort = 0;
    // Not empty: the settings cannot make a tunnel (and say why).
    std::string problem;
};

// Type 0 direct, 2 HTTP CONNECT, 3 SOCKS 4 (4A when a user is set), 4 SOCKS 5.
// Type 1 must have been resolved before; it and any other type are a problem.
TProxyRoute RouteFor(const TProxySet& proxy, std::string_view targetHost, int32_t targetPort);

// "host:port" of the first hop: the proxy, or the target when direct.
std::string FirstHopText(const TProxyRoute& route);

const char* ProxyKindName(TProxyKind kind);

}  // namespace kiv
