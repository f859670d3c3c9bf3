#include "proxy/ProxyRequests.h"

#include <arpa/inet.h>

#include <cstdio>

#include "launch/CredentialCodec.h"

namespace kiv {

namespace {

std::optional<std::array<uint8_t, 16>> LiteralIPv6(std::string_view host) {
    if (host.find(':') == std::string_view::npos || host.size() >= INET6_ADDRSTRLEN) return std::nullopt;
    const std::string text(host);
    std::array<uint8_t, 16> address{};
    if (::inet_pton(AF_INET6, text.c_str(), address.data()) != 1) return std::nullopt;
    return address;
}

void AppendPort(std::string& out, uint16_t port) {
    out.push_back(static_cast<char>(port >> 8));
    out.push_back(static_cast<char>(port & 0xFF));
}

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace

std::optional<std::array<uint8_t, 4>> LiteralIPv4(std::string_view host) {
    if (host.empty() || host.size() >= INET_ADDRSTRLEN) return std::nullopt;
    const std::string text(host);
    std::array<uint8_t, 4> address{};
    if (::inet_pton(AF_INET, text.c_str(), address.data()) != 1) return std::nullopt;
    return address;
}

std::string HostPortText(std::string_view host, uint16_t port) {
    std::string text = LiteralIPv6(host) ? "[" + std::string(host) + "]" : std::string(host);
    return text + ":" + std::to_string(port);
}

std::string HttpConnectRequest(std::string_view host, uint16_t port, const TProxyCredentials* credentials) {
    const std::string authority = HostPortText(host, port);
    std::string request = "CONNECT " + authority + " HTTP/1.1\r\n";
    request += "Host: " + authority + "\r\n";
    if (credentials != nullptr)
        request += "Proxy-authorization: basic " + Base64Encode(credentials->user + ":" + credentials->password) + "\r\n";
    request += "\r\n";
    return request;
}

std::string Socks4Request(const std::array<uint8_t, 4>& address, uint16_t port, std::string_view userId) {
    std::string request{'\x04', '\x01'};
    AppendPort(request, port);
    request.append(reinterpret_cast<const char*>(address.data()), address.size());
    request.append(UpToNul(userId));
    request.push_back('\0');
    return request;
}

std::string Socks4aRequest(std::string_view host, uint16_t port, std::string_view userId) {
    if (host.empty() || host.find('\0') != std::string_view::npos) return {};
    std::string request = Socks4Request({0, 0, 0, 1}, port, userId);
    request.append(host);
    request.push_back('\0');
    return request;
}

std::string Socks5Greeting(bool userPassword) {
    return std::string{'\x05', '\x01', userPassword ? '\x02' : '\x00'};
}

std::string Socks5UserPasswordRequest(std::string_view user, std::string_view password) {
    user = user.substr(0, 255);
    password = password.substr(0, 255);
    std::string request{'\x01', static_cast<char>(user.size())};
    request.append(user);
    request.push_back(static_cast<char>(password.size()));
    request.append(password);
    return request;
}

std::optional<std::string> Socks5ConnectRequest(std::string_view host, uint16_t port) {
    std::string request{'\x05', '\x01', '\x00'};
    if (const auto v4 = LiteralIPv4(host)) {
        request.push_back('\x01');
        request.append(reinterpret_cast<const char*>(v4->data()), v4->size());
    } else if (const auto v6 = LiteralIPv6(host)) {
        request.push_back('\x04');
        request.append(reinterpret_cast<const char*>(v6->data()), v6->size());
    } else {
        if (host.empty() || host.size() > 255) return std::nullopt;
        request.push_back('\x03');
        request.push_back(static_cast<char>(host.size()));
        request.append(host);
    }
    AppendPort(request, port);
    return request;
}

}  // namespace kiv
