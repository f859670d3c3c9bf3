#include "proxy/ProxyHttpClient.h"

#include "proxy/ProxyRequests.h"

namespace kiv {

namespace {

bool BlankText(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

}  // namespace

TCurlProxy CurlProxyFor(const TProxySet& settings, const std::optional<TSystemProxy>& system) {
    TProxySet proxy = settings;
    ResolveSystemProxy(proxy, system);

    TCurlProxy result;
    const char* scheme = nullptr;
    switch (proxy.ProxyType) {
    case 2: scheme = "http://"; break;
    case 3: scheme = proxy.ProxyUser.empty() ? "socks4://" : "socks4a://"; break;
    case 4: scheme = "socks5://"; break;
    case 0: return result;
    default: result.problem = "unknown proxy type " + std::to_string(proxy.ProxyType); return result;
    }
    if (proxy.ProxyServer.empty()) {
        result.problem = "no proxy server";
        return result;
    }
    if (proxy.ProxyPort <= 0 || proxy.ProxyPort > 65535) {
        result.problem = "proxy port " + std::to_string(proxy.ProxyPort) + " out of range";
        return result;
    }
    result.url = scheme + HostPortText(proxy.ProxyServer.str(), static_cast<uint16_t>(proxy.ProxyPort));
    if (!BlankText(proxy.ProxyUser) || !BlankText(proxy.ProxyPwd)) {
        result.useCredentials = true;
        result.user = proxy.ProxyUser.str();
        result.password = proxy.ProxyPwd.str();
        result.userPassword = result.user + ":" + result.password;
    }
    return result;
}

TCurlProxy CurlProxyFor(const TProxySet& proxy) {
    if (proxy.ProxyType == 1) return CurlProxyFor(proxy, ReadSystemProxy());
    return CurlProxyFor(proxy, std::nullopt);
}

}  // namespace kiv
