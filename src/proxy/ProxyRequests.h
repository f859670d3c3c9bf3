#pragma once
// The bytes the mapper sends to a proxy: the HTTP CONNECT request and the SOCKS
// 4, 4A and 5 requests.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kiv {

struct TProxyCredentials {
    std::string user;
    std::string password;
};

// A host as it stands before ":port": IPv6 literals in brackets, anything else as given.
std::string HostPortText(std::string_view host, uint16_t port);

// "CONNECT host:port HTTP/1.1", "Host: host:port", with credentials the line
// "Proxy-authorization: basic " + base64(user ":" password), then the empty line.
std::string HttpConnectRequest(std::string_view host, uint16_t port, const TProxyCredentials* credentials);

// The user id ends at its first NUL: the request ends the field with one.
std::string Socks4Request(const std::array<uint8_t, 4>& address, uint16_t port, std::string_view userId);
// Address 0.0.0.1, then the user id and the host name, each ended with NUL.
// Empty when the host name cannot be sent (empty or holding NUL).
std::string Socks4aRequest(std::string_view host, uint16_t port, std::string_view userId);

// One method offered: user/password when a user is set, else none.
std::string Socks5Greeting(bool userPassword);
// User and password are cut to the 255 bytes the format can carry.
std::string Socks5UserPasswordRequest(std::string_view user, std::string_view password);
// A literal IPv4 or IPv6 address goes as an address, anything else as a name.
// Nothing when a name is empty or longer than 255 bytes.
std::optional<std::string> Socks5ConnectRequest(std::string_view host, uint16_t port);

// The host as a literal IPv4 address, if it is one.
std::optional<std::array<uint8_t, 4>> LiteralIPv4(std::string_view host);

}  // namespace kiv
