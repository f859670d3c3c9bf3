// The conversation with each kind of proxy, step by step, with the proxies'
// answers played by the test: the retry after 407 on the same or a new
// connection, refusals, and the first tunnelled bytes.
#include "proxy/ProxyHandshake.h"

#include <gtest/gtest.h>

#include <string>

namespace kiv {
namespace {

using namespace std::string_literals;
using TAction = TProxyHandshakeStep::TAction;

TProxyRoute Route(TProxyKind kind, std::string user = "", std::string password = "") {
    TProxyRoute route;
    route.kind = kind;
    route.proxyHost = "127.0.0.1";
    route.proxyPort = 3128;
    route.user = std::move(user);
    route.password = std::move(password);
    route.targetHost = "rdp.example.test";
    route.targetPort = 3389;
    return route;
}

const std::string kPlainConnect = "CONNECT rdp.example.test:3389 HTTP/1.1\r\nHost: rdp.example.test:3389\r\n\r\n";
const std::string kAuthorizedConnect =
    "CONNECT rdp.example.test:3389 HTTP/1.1\r\nHost: rdp.example.test:3389\r\n"
    "Proxy-authorization: basic dTE6cDE=\r\n\r\n";
const std::string k407KeepAlive =
    "HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 10\r\nConnection: keep-alive\r\n\r\n";
const std::string k407Close = "HTTP/1.0 407 Proxy Authentication Required\r\nConnection: close\r\n\r\n";
const std::string k200 = "HTTP/1.1 200 Connection established\r\n\r\n";

TEST(ProxyHandshakeHttp, SuccessHandsOverTheBytesAfterTheHead) {
    TProxyHandshake handshake(Route(TProxyKind::HttpConnect));
    const TProxyHandshakeStep begin = handshake.Begin();
    ASSERT_EQ(begin.action, TAction::Send);
    EXPECT_EQ(begin.bytes, kPlainConnect);
    const TProxyHandshakeStep open =
        handshake.Receive("HTTP/1.1 200 Connection established\r\nProxy-agent: x\r\n\r\n\x03\x00"s);
    ASSERT_EQ(open.action, TAction::Open);
    EXPECT_EQ(handshake.TakeLeftover(), "\x03\x00"s);
    EXPECT_EQ(handshake.TakeLeftover(), "");
}

TEST(ProxyHandshakeHttp, AnAnswerArrivingByteByByteWaitsForItsEnd) {
    TProxyHandshake handshake(Route(TProxyKind::HttpConnect));
    handshake.Begin();
    for (std::size_t i = 0; i + 1 < k200.size(); ++i)
        ASSERT_EQ(handshake.Receive(k200.substr(i, 1)).action, TAction::Wait) << i;
    EXPECT_EQ(handshake.Receive(k200.substr(k200.size() - 1)).action, TAction::Open);
}

TEST(ProxyHandshakeHttp, KeepAlive407IsReadThroughItsBodyBeforeTheRetry) {
    TProxyHandshake handshake(Route(TProxyKind::HttpConnect, "u1", "p1"));
    handshake.Begin();
    // The head and part of the body: the retry must wait for the rest.
    EXPECT_EQ(handshake.Receive(k407KeepAlive + "01234").action, TAction::Wait);
    EXPECT_EQ(handshake.Receive("567").action, TAction::Wait);
    const TProxyHandshakeStep retry = handshake.Receive("89");
    ASSERT_EQ(retry.action, TAction::Send);
    EXPECT_EQ(retry.bytes, kAuthorizedConnect);
    EXPECT_EQ(retry.sent.find("p1"), std::string::npos);  // the report never shows the password
    EXPECT_TRUE(handshake.CredentialsSent());
    EXPECT_EQ(handshake.Receive(k200 + "T").action, TAction::Open);
    EXPECT_EQ(handshake.TakeLeftover(), "T");
}

TEST(ProxyHandshakeHttp, KeepAlive407WithItsWholeBodyRetriesAtOnce) {
    TProxyHandshake handshake(Route(TProxyKind::HttpConnect, "u1", "p1"));
    handshake.Begin();
    const TProxyHandshakeStep retry = handshake.Receive(k407KeepAlive + "0123456789");
    ASSERT_EQ(retry.action, TAction::Send);
    EXPECT_EQ(retry.bytes, kAuthorizedConnect);
    EXPECT_NE(retry.received.find("407"), std::string::npos);
}

TEST(ProxyHandshakeHttp, ClosingOrUnmeasured407RetriesOnANewConnection) {
    for (const std::string& refusal :
         {k407Close, "HTTP/1.1 407 x\r\nTransfer-Encoding: chunked\r\n\r\n"s, "HTTP/1.1 407 x\r\n\r\n"s,
          "HTTP/1.1 407 x\r\nContent-Length: " + std::to_string(kMaxSkippedProxyBody + 1) + "\r\n\r\n"}) {
        TProxyHandshake handshake(Route(TProxyKind::HttpConnect, "u1", "p1"));
        EXPECT_EQ(handshake.Begin().bytes, kPlainConnect);
        ASSERT_EQ(handshake.Receive(refusal).action, TAction::Reconnect) << refusal;
        const TProxyHandshakeStep retry = handshake.Begin();
        ASSERT_EQ(retry.action, TAction::Send);
        EXPECT_EQ(retry.bytes, kAuthorizedConnect);
        EXPECT_EQ(handshake.Receive(k200).action, TAction::Open);
    }
}

TEST(ProxyHandshakeHttp, ASecond407FailsWithoutAnotherRetry) {
    TProxyHandshake handshake(Route(TProxyKind::HttpConnect, "u1", "wrong"));
    handshake.Begin();
    ASSERT_EQ(handshake.Receive(k407KeepAlive + "0123456789").action, TAction::Send);
    const TProxyHandshakeStep second = handshake.Receive(k407KeepAlive + "0123456789");
    ASSERT_EQ(second.action, TAction::Fail);
    EXPECT_EQ(second.reason, "HTTP 407 twice");
}

TEST(ProxyHandshakeHttp, A407WithoutCredentialsFailsAtOnce) {
    TProxyHandshake handshake(Route(TProxyKind::HttpConnect));
    handshake.Begin();
    const TProxyHandshakeStep step = handshake.Receive(k407KeepAlive);
    ASSERT_EQ(step.action, TAction::Fail);
    EXPECT_NE(step.reason.find("407"), std::string::npos);
    EXPECT_FALSE(handshake.CredentialsSent());
}

TEST(ProxyHandshakeHttp, OtherStatusesAndStrangersFail) {
    TProxyHandshake unauthorized(Route(TProxyKind::HttpConnect, "u1", "p1"));
    unauthorized.Begin();
    EXPECT_EQ(unauthorized.Receive("HTTP/1.0 401 Unauthorized\r\nConnection: close\r\n\r\n").reason,
              "HTTP 401 Unauthorized");

    TProxyHandshake unavailable(Route(TProxyKind::HttpConnect));
    unavailable.Begin();
    EXPECT_EQ(unavailable.Receive("HTTP/1.1 503 Service Unavailable\r\n\r\n").reason, "HTTP 503 Service Unavailable");

    TProxyHandshake stranger(Route(TProxyKind::HttpConnect));
    stranger.Begin();
    const TProxyHandshakeStep step = stranger.Receive("SSH-2.0-OpenSSH\r\n");
    EXPECT_EQ(step.action, TAction::Fail);
    EXPECT_NE(step.reason.find("not an HTTP answer"), std::string::npos);
    // Once failed, further bytes change nothing.
    EXPECT_EQ(stranger.Receive(k200).action, TAction::Fail);
}

TEST(ProxyHandshakeSocks4, AddressRequestAndGrantedReply) {
    TProxyRoute route = Route(TProxyKind::Socks4);
    route.targetHost = "127.0.0.1";
    TProxyHandshake handshake(route);
    EXPECT_FALSE(handshake.NeedsTargetAddress());
    EXPECT_EQ(handshake.Begin().bytes, "\x04\x01\x0D\x3D\x7F\x00\x00\x01\x00"s);
    EXPECT_EQ(handshake.Receive("\x00\x5A\x00\x00"s).action, TAction::Wait);
    EXPECT_EQ(handshake.Receive("\x00\x00\x00\x00" "RDP"s).action, TAction::Open);
    EXPECT_EQ(handshake.TakeLeftover(), "RDP");
}

TEST(ProxyHandshakeSocks4, ANamedTargetIsLookedUpByTheCallerFirst) {
    TProxyHandshake handshake(Route(TProxyKind::Socks4));
    EXPECT_TRUE(handshake.NeedsTargetAddress());
    EXPECT_EQ(handshake.Begin().action, TAction::Fail);
    handshake.SetTargetAddress({10, 9, 8, 7});
    EXPECT_FALSE(handshake.NeedsTargetAddress());
    EXPECT_EQ(handshake.Begin().bytes, "\x04\x01\x0D\x3D\x0A\x09\x08\x07\x00"s);
    const TProxyHandshakeStep refused = handshake.Receive("\x00\x5B\x00\x00\x00\x00\x00\x00"s);
    ASSERT_EQ(refused.action, TAction::Fail);
    EXPECT_NE(refused.reason.find("0x5B"), std::string::npos);
}

TEST(ProxyHandshakeSocks4, TheUserMakesIt4aWithTheNameForTheProxy) {
    TProxyHandshake handshake(Route(TProxyKind::Socks4a, "alice"));
    EXPECT_FALSE(handshake.NeedsTargetAddress());
    EXPECT_EQ(handshake.Begin().bytes, "\x04\x01\x0D\x3D\x00\x00\x00\x01" "alice\x00" "rdp.example.test\x00"s);
    EXPECT_EQ(handshake.Receive("\x00\x5A\x00\x00\x00\x00\x00\x00"s).action, TAction::Open);
}

TEST(ProxyHandshakeSocks5, WithoutAuthentication) {
    TProxyHandshake handshake(Route(TProxyKind::Socks5));
    EXPECT_EQ(handshake.Begin().bytes, "\x05\x01\x00"s);
    const TProxyHandshakeStep connect = handshake.Receive("\x05\x00"s);
    ASSERT_EQ(connect.action, TAction::Send);
    EXPECT_EQ(connect.bytes, "\x05\x01\x00\x03\x10rdp.example.test\x0D\x3D"s);
    EXPECT_EQ(handshake.Receive("\x05\x00\x00\x01\x7F\x00"s).action, TAction::Wait);
    EXPECT_EQ(handshake.Receive("\x00\x01\x13\x88" "first"s).action, TAction::Open);
    EXPECT_EQ(handshake.TakeLeftover(), "first");
}

TEST(ProxyHandshakeSocks5, AnAnswerThatCameEarlyIsTakenAfterTheSend) {
    TProxyHandshake handshake(Route(TProxyKind::Socks5));
    handshake.Begin();
    // Method reply and connect reply in one read: the second waits in the buffer.
    ASSERT_EQ(handshake.Receive("\x05\x00\x05\x00\x00\x01\x7F\x00\x00\x01\x00\x00" "rdp"s).action, TAction::Send);
    EXPECT_EQ(handshake.Receive({}).action, TAction::Open);
    EXPECT_EQ(handshake.TakeLeftover(), "rdp");
}

TEST(ProxyHandshakeSocks5, WithUserAndPassword) {
    TProxyHandshake handshake(Route(TProxyKind::Socks5, "u1", "secret"));
    EXPECT_EQ(handshake.Begin().bytes, "\x05\x01\x02"s);
    const TProxyHandshakeStep auth = handshake.Receive("\x05\x02"s);
    ASSERT_EQ(auth.action, TAction::Send);
    EXPECT_EQ(auth.bytes, "\x01\x02u1\x06secret"s);
    EXPECT_EQ(auth.sent.find("secret"), std::string::npos);
    ASSERT_EQ(handshake.Receive("\x01\x00"s).action, TAction::Send);
    EXPECT_EQ(handshake.Receive("\x05\x00\x00\x01\x7F\x00\x00\x01\x00\x00"s).action, TAction::Open);
}

TEST(ProxyHandshakeSocks5, RefusalsAtEachStage) {
    TProxyHandshake noMethod(Route(TProxyKind::Socks5));
    noMethod.Begin();
    EXPECT_EQ(noMethod.Receive("\x05\xFF"s).action, TAction::Fail);

    TProxyHandshake unofferedMethod(Route(TProxyKind::Socks5, "u1", "p1"));
    unofferedMethod.Begin();
    const TProxyHandshakeStep chose = unofferedMethod.Receive("\x05\x00"s);
    EXPECT_EQ(chose.action, TAction::Fail);  // no-auth was not offered: do not go on without it
    EXPECT_NE(chose.reason.find("not offered"), std::string::npos);

    TProxyHandshake wrongPassword(Route(TProxyKind::Socks5, "u1", "p1"));
    wrongPassword.Begin();
    wrongPassword.Receive("\x05\x02"s);
    const TProxyHandshakeStep rejected = wrongPassword.Receive("\x01\x01"s);
    EXPECT_EQ(rejected.action, TAction::Fail);
    EXPECT_NE(rejected.reason.find("rejected"), std::string::npos);

    TProxyHandshake closedTarget(Route(TProxyKind::Socks5));
    closedTarget.Begin();
    closedTarget.Receive("\x05\x00"s);
    const TProxyHandshakeStep refused = closedTarget.Receive("\x05\x05\x00\x01\x00\x00\x00\x00\x00\x00"s);
    EXPECT_EQ(refused.action, TAction::Fail);
    EXPECT_NE(refused.reason.find("connection refused (5)"), std::string::npos);
}

TEST(ProxyHandshakeDirect, OpensAtOnceAndRejectsStrayBytes) {
    TProxyHandshake handshake(Route(TProxyKind::Direct));
    EXPECT_EQ(handshake.Begin().action, TAction::Open);
    EXPECT_EQ(handshake.Receive("x").action, TAction::Fail);
}

TEST(ProxyRoute, TypesAndTheirProblems) {
    TProxySet proxy;
    proxy.ProxyType = 3;
    proxy.ProxyServer = "socks.example.test";
    proxy.ProxyPort = 1080;
    EXPECT_EQ(RouteFor(proxy, "rdp", 3389).kind, TProxyKind::Socks4);
    proxy.ProxyUser = "alice";
    const TProxyRoute socks4a = RouteFor(proxy, "rdp", 3389);
    EXPECT_EQ(socks4a.kind, TProxyKind::Socks4a);
    EXPECT_EQ(socks4a.user, "alice");
    EXPECT_TRUE(socks4a.problem.empty());

    proxy.ProxyPort = 70000;
    EXPECT_NE(RouteFor(proxy, "rdp", 3389).problem, "");
    proxy.ProxyPort = 1080;
    EXPECT_NE(RouteFor(proxy, "rdp", 0).problem, "");
    EXPECT_NE(RouteFor(proxy, "", 3389).problem, "");
    proxy.ProxyType = 7;
    EXPECT_NE(RouteFor(proxy, "rdp", 3389).problem, "");
    proxy.ProxyType = 2;
    proxy.ProxyServer = "";
    const TProxyRoute noServer = RouteFor(proxy, "rdp", 3389);
    EXPECT_NE(noServer.problem, "");
    TProxyHandshake handshake(noServer);
    EXPECT_EQ(handshake.Begin().action, TAction::Fail);

    proxy.ProxyType = 0;  // direct ignores whatever proxy is written
    const TProxyRoute direct = RouteFor(proxy, "rdp", 3389);
    EXPECT_EQ(direct.kind, TProxyKind::Direct);
    EXPECT_TRUE(direct.problem.empty());
    EXPECT_EQ(FirstHopText(direct), "rdp:3389");
}

}  // namespace
}  // namespace kiv
