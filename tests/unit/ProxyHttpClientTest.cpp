// The proxy the portal fetch's HTTP client is given for a farm's settings.
#include "proxy/ProxyHttpClient.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TProxySet Proxy(int32_t type, const char* server = "proxy.test", int32_t port = 3128, const char* user = "",
                const char* password = "") {
    TProxySet proxy;
    proxy.ProxyType = type;
    proxy.ProxyServer = server;
    proxy.ProxyPort = port;
    proxy.ProxyUser = user;
    proxy.ProxyPwd = password;
    return proxy;
}

TEST(CurlProxy, SchemeForEachType) {
    EXPECT_EQ(CurlProxyFor(Proxy(2), std::nullopt).url, "http://proxy.test:3128");
    EXPECT_EQ(CurlProxyFor(Proxy(3), std::nullopt).url, "socks4://proxy.test:3128");
    EXPECT_EQ(CurlProxyFor(Proxy(3, "proxy.test", 1080, "alice"), std::nullopt).url, "socks4a://proxy.test:1080");
    EXPECT_EQ(CurlProxyFor(Proxy(4, "::1", 1080), std::nullopt).url, "socks5://[::1]:1080");
}

TEST(CurlProxy, NoProxyForType0) {
    const TCurlProxy direct = CurlProxyFor(Proxy(0), std::nullopt);
    EXPECT_EQ(direct.url, "");
    EXPECT_EQ(direct.problem, "");
    EXPECT_FALSE(direct.useCredentials);
}

TEST(CurlProxy, CredentialsWhenTheTrimmedUserOrPasswordHasText) {
    EXPECT_FALSE(CurlProxyFor(Proxy(2, "p", 1, "  ", "\t"), std::nullopt).useCredentials);
    const TCurlProxy user = CurlProxyFor(Proxy(2, "p", 1, " u1 ", ""), std::nullopt);
    EXPECT_TRUE(user.useCredentials);
    EXPECT_EQ(user.user, " u1 ");  // sent as written
    EXPECT_EQ(user.userPassword, " u1 :");
    const TCurlProxy password = CurlProxyFor(Proxy(4, "p", 1, "", "pw"), std::nullopt);
    EXPECT_TRUE(password.useCredentials);
    EXPECT_EQ(password.userPassword, ":pw");
}

TEST(CurlProxy, TheSystemProxyIsResolvedFirst) {
    const TCurlProxy found = CurlProxyFor(Proxy(1, "farm.test", 1, "u", "p"), TSystemProxy{2, "p1", 8080});
    EXPECT_EQ(found.url, "http://p1:8080");
    EXPECT_FALSE(found.useCredentials);  // the system's proxy comes without the farm's credentials
    const TCurlProxy none = CurlProxyFor(Proxy(1, "farm.test", 1, "u", "p"), std::nullopt);
    EXPECT_EQ(none.url, "");
    EXPECT_EQ(none.problem, "");
}

TEST(CurlProxy, UnusableSettingsAreAProblemNotADirectFetch) {
    EXPECT_NE(CurlProxyFor(Proxy(9), std::nullopt).problem, "");
    EXPECT_NE(CurlProxyFor(Proxy(2, ""), std::nullopt).problem, "");
    EXPECT_NE(CurlProxyFor(Proxy(2, "p", 0), std::nullopt).problem, "");
    EXPECT_EQ(CurlProxyFor(Proxy(9), std::nullopt).url, "");
}

}  // namespace
}  // namespace kiv
