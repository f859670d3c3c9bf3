// The exact bytes the mapper sends to proxies.
#include "proxy/ProxyRequests.h"

#include <gtest/gtest.h>

#include <string>

namespace kiv {
namespace {

using namespace std::string_literals;

TEST(ProxyRequests, ConnectWithoutAndWithCredentials) {
    EXPECT_EQ(HttpConnectRequest("rdp.example.test", 3389, nullptr),
              "CONNECT rdp.example.test:3389 HTTP/1.1\r\nHost: rdp.example.test:3389\r\n\r\n");
    const TProxyCredentials credentials{"u1", "p1"};
    EXPECT_EQ(HttpConnectRequest("10.1.2.3", 443, &credentials),
              "CONNECT 10.1.2.3:443 HTTP/1.1\r\nHost: 10.1.2.3:443\r\n"
              "Proxy-authorization: basic dTE6cDE=\r\n\r\n");
}

TEST(ProxyRequests, ConnectPutsIPv6LiteralsInBrackets) {
    EXPECT_EQ(HttpConnectRequest("::1", 3389, nullptr), "CONNECT [::1]:3389 HTTP/1.1\r\nHost: [::1]:3389\r\n\r\n");
    EXPECT_EQ(HostPortText("a:b", 1), "a:b:1");  // not an address: left as written
}

TEST(ProxyRequests, Socks4AndSocks4a) {
    EXPECT_EQ(Socks4Request({127, 0, 0, 1}, 3389, ""), "\x04\x01\x0D\x3D\x7F\x00\x00\x01\x00"s);
    EXPECT_EQ(Socks4Request({10, 0, 0, 2}, 80, "bob\0tail"s), "\x04\x01\x00\x50\x0A\x00\x00\x02" "bob\x00"s);
    EXPECT_EQ(Socks4aRequest("rdp.example.test", 3389, "alice"),
              "\x04\x01\x0D\x3D\x00\x00\x00\x01" "alice\x00" "rdp.example.test\x00"s);
    EXPECT_EQ(Socks4aRequest("", 3389, "alice"), "");
    EXPECT_EQ(Socks4aRequest("a\0b"s, 3389, "alice"), "");
}

TEST(ProxyRequests, Socks5GreetingAndUserPassword) {
    EXPECT_EQ(Socks5Greeting(false), "\x05\x01\x00"s);
    EXPECT_EQ(Socks5Greeting(true), "\x05\x01\x02"s);
    EXPECT_EQ(Socks5UserPasswordRequest("u1", "secret"), "\x01\x02u1\x06secret"s);
    const std::string request = Socks5UserPasswordRequest(std::string(300, 'u'), "");
    ASSERT_EQ(request.size(), 2u + 255u + 1u);
    EXPECT_EQ(static_cast<unsigned char>(request[1]), 255);
    EXPECT_EQ(request.back(), '\0');  // the empty password's length
}

TEST(ProxyRequests, Socks5ConnectInEachAddressForm) {
    EXPECT_EQ(Socks5ConnectRequest("127.0.0.1", 3389), "\x05\x01\x00\x01\x7F\x00\x00\x01\x0D\x3D"s);
    EXPECT_EQ(Socks5ConnectRequest("::1", 22), "\x05\x01\x00\x04"s + std::string(15, '\0') + "\x01\x00\x16"s);
    EXPECT_EQ(Socks5ConnectRequest("rdp.example.test", 3389), "\x05\x01\x00\x03\x10rdp.example.test\x0D\x3D"s);
    EXPECT_FALSE(Socks5ConnectRequest("", 3389).has_value());
    EXPECT_TRUE(Socks5ConnectRequest(std::string(255, 'h'), 1).has_value());
    EXPECT_FALSE(Socks5ConnectRequest(std::string(256, 'h'), 1).has_value());
}

TEST(ProxyRequests, LiteralIPv4OnlyForDottedQuads) {
    EXPECT_EQ(LiteralIPv4("192.168.1.20"), (std::array<uint8_t, 4>{192, 168, 1, 20}));
    EXPECT_FALSE(LiteralIPv4("localhost").has_value());
    EXPECT_FALSE(LiteralIPv4("::1").has_value());
    EXPECT_FALSE(LiteralIPv4("1.2.3.4.5").has_value());
    EXPECT_FALSE(LiteralIPv4(std::string(64, '1')).has_value());
}

}  // namespace
}  // namespace kiv
