#include "proxy/SystemProxy.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace kiv {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A decimal number of at most nine digits, nothing else.
std::optional<int32_t> Decimal(std::string_view text) {
    text = Trim(text);
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int32_t value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

std::optional<int32_t> TypeForScheme(std::string_view scheme) {
    const std::string name = Lower(scheme);
    if (name.empty() || name == "http") return 2;
    if (name == "socks4" || name == "socks4a") return 3;
    if (name == "socks5" || name == "socks5h") return 4;
    return std::nullopt;
}

}  // namespace

TProxyServerText ParseProxyServerText(std::string_view text) {
    std::string_view value;
    const bool list = text.find(';') != std::string_view::npos || text.find('=') != std::string_view::npos;
    if (!list) {
        value = text;
    } else {
        std::string_view rest = text;
        for (;;) {
            const std::size_t semicolon = rest.find(';');
            const std::string_view entry = rest.substr(0, semicolon);
            const std::size_t equals = entry.find('=');
            if (equals != std::string_view::npos && Lower(Trim(entry.substr(0, equals))) == "http") {
                value = entry.substr(equals + 1);
                break;
            }
            if (semicolon == std::string_view::npos) break;
            rest.remove_prefix(semicolon + 1);
        }
    }
    TProxyServerText result;
    const std::size_t colon = value.find(':');
    if (colon == std::string_view::npos) return result;  // empty host, port 80
    result.host = std::string(Trim(value.substr(0, colon)));
    result.port = Decimal(value.substr(colon + 1)).value_or(80);
    return result;
}

std::optional<TSystemProxy> ParseProxyEnvironmentValue(std::string_view value) {
    value = Trim(value);
    if (value.empty()) return std::nullopt;

    std::string_view scheme;
    const std::size_t schemeEnd = value.find("://");
    if (schemeEnd != std::string_view::npos) {
        scheme = value.substr(0, schemeEnd);
        value.remove_prefix(schemeEnd + 3);
    } else if (value.find('=') != std::string_view::npos) {
        const TProxyServerText listed = ParseProxyServerText(value);
        if (listed.host.empty()) return std::nullopt;
        return TSystemProxy{2, listed.host, listed.port};
    }
    const std::optional<int32_t> type = TypeForScheme(scheme);
    if (!type) return std::nullopt;

    value = value.substr(0, value.find_first_of("/?#"));
    const std::size_t at = value.rfind('@');
    if (at != std::string_view::npos) value.remove_prefix(at + 1);

    TSystemProxy proxy;
    proxy.type = *type;
    std::string_view portText;
    if (!value.empty() && value.front() == '[') {
        const std::size_t close = value.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        proxy.host = std::string(value.substr(1, close - 1));
        const std::string_view after = value.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            portText = after.substr(1);
        }
    } else {
        const std::size_t colon = value.find(':');
        proxy.host = std::string(value.substr(0, colon));
        if (colon != std::string_view::npos) portText = value.substr(colon + 1);
    }
    if (proxy.host.empty()) return std::nullopt;
    proxy.port = 1080;
    if (!portText.empty()) {
        const std::optional<int32_t> port = Decimal(portText);
        if (!port || *port < 1 || *port > 65535) return std::nullopt;
        proxy.port = *port;
    }
    return proxy;
}

std::optional<TSystemProxy> ReadSystemProxy(const TEnvironmentLookup& lookup) {
    for (const char* name : kProxyEnvironmentNames) {
        const std::optional<std::string> value = lookup(name);
        if (!value) continue;
        if (std::optional<TSystemProxy> proxy = ParseProxyEnvironmentValue(*value)) return proxy;
    }
    return std::nullopt;
}

std::optional<TSystemProxy> ReadSystemProxy() {
    return ReadSystemProxy([](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    });
}

void ResolveSystemProxy(TProxySet& proxy, const std::optional<TSystemProxy>& system) {
    if (proxy.ProxyType != 1) return;
    proxy.ProxyUser = "";
    proxy.ProxyPwd = "";
    if (system) {
        proxy.ProxyType = system->type;
        proxy.ProxyServer = system->host;
        proxy.ProxyPort = system->port;
    } else {
        proxy.ProxyType = 0;
        proxy.ProxyServer = "";
        proxy.ProxyPort = 0;
    }
}

void ResolveSystemProxy(TProxySet& proxy) {
    if (proxy.ProxyType == 1) ResolveSystemProxy(proxy, ReadSystemProxy());
}

}  // namespace kiv
