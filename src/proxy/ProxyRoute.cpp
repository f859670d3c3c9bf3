#include "proxy/ProxyRoute.h"

#include "proxy/ProxyRequests.h"

namespace kiv {

namespace {

bool ValidPort(int32_t port) { return port > 0 && port <= 65535; }

}  // namespace

const char* ProxyKindName(TProxyKind kind) {
    switch (kind) {
    case TProxyKind::Direct: return "direct";
    case TProxyKind::HttpConnect: return "HTTP CONNECT";
    case TProxyKind::Socks4: return "SOCKS 4";
    case TProxyKind::Socks4a: return "SOCKS 4A";
    case TProxyKind::Socks5: return "SOCKS 5";
    }
    return "?";
}

TProxyRoute RouteFor(const TProxySet& proxy, std::string_view targetHost, int32_t targetPort) {
    TProxyRoute route;
    route.targetHost = std::string(targetHost);
    route.targetPort = ValidPort(targetPort) ? static_cast<uint16_t>(targetPort) : 0;
    switch (proxy.ProxyType) {
    case 0: route.kind = TProxyKind::Direct; break;
    case 2: route.kind = TProxyKind::HttpConnect; break;
    case 3: route.kind = proxy.ProxyUser.empty() ? TProxyKind::Socks4 : TProxyKind::Socks4a; break;
    case 4: route.kind = TProxyKind::Socks5; break;
    default: route.problem = "unknown proxy type " + std::to_string(proxy.ProxyType); return route;
    }
    if (route.targetHost.empty()) route.problem = "no target host";
    else if (route.targetPort == 0) route.problem = "target port " + std::to_string(targetPort) + " out of range";
    if (route.kind == TProxyKind::Direct || !route.problem.empty()) return route;

    route.proxyHost = proxy.ProxyServer.str();
    route.proxyPort = ValidPort(proxy.ProxyPort) ? static_cast<uint16_t>(proxy.ProxyPort) : 0;
    route.user = proxy.ProxyUser.str();
    route.password = proxy.ProxyPwd.str();
    if (route.proxyHost.empty()) route.problem = "no proxy server";
    else if (route.proxyPort == 0) route.problem = "proxy port " + std::to_string(proxy.ProxyPort) + " out of range";
    return route;
}

std::string FirstHopText(const TProxyRoute& route) {
    if (route.kind == TProxyKind::Direct) return HostPortText(route.targetHost, route.targetPort);
    return HostPortText(route.proxyHost, route.proxyPort);
}

}  // namespace kiv
