// The parsers of what proxies answer: HTTP CONNECT heads and SOCKS replies, fed
// the bytes real proxies send, cut anywhere, and bytes no proxy should send.
#include "proxy/ProxyHttpAnswer.h"
#include "proxy/ProxySocksAnswers.h"

#include <gtest/gtest.h>

#include <string>

namespace kiv {
namespace {

using namespace std::string_literals;

const std::string kSquid407 =
    "HTTP/1.1 407 Proxy Authentication Required\r\n"
    "Server: squid/5.7\r\n"
    "Content-Type: text/html;charset=utf-8\r\n"
    "Content-Length: 3036\r\n"
    "Proxy-Authenticate: Basic realm=\"Squid proxy-caching web server\"\r\n"
    "Connection: keep-alive\r\n"
    "\r\n";

const std::string kTinyproxy407 =
    "HTTP/1.0 407 Proxy Authentication Required\r\n"
    "Server: tinyproxy/1.11.1\r\n"
    "Content-Type: text/html\r\n"
    "Proxy-Authenticate: Basic realm=\"Tinyproxy\"\r\n"
    "Connection: close\r\n"
    "\r\n";

TEST(ProxyHttpAnswer, SquidRefusalKeepsTheConnectionAndAnnouncesItsBody) {
    const THttpProxyAnswer answer = ParseHttpProxyAnswer(kSquid407 + "<!DOCTYPE html>");
    ASSERT_EQ(answer.state, TProxyAnswerState::Done);
    EXPECT_EQ(answer.consumed, kSquid407.size());  // the body is not part of the head
    EXPECT_EQ(answer.status, 407);
    EXPECT_EQ(answer.statusLine, "HTTP/1.1 407 Proxy Authentication Required");
    EXPECT_EQ(StatusReasonPhrase(answer.statusLine), "Proxy Authentication Required");
    ASSERT_TRUE(answer.contentLength.has_value());
    EXPECT_EQ(*answer.contentLength, 3036u);
    EXPECT_TRUE(answer.keepAlive);
    EXPECT_FALSE(answer.chunked);
}

TEST(ProxyHttpAnswer, TinyproxyRefusalEndsTheConnectionWithoutALength) {
    const THttpProxyAnswer answer = ParseHttpProxyAnswer(kTinyproxy407);
    ASSERT_EQ(answer.state, TProxyAnswerState::Done);
    EXPECT_EQ(answer.minorVersion, 0);
    EXPECT_FALSE(answer.keepAlive);
    EXPECT_FALSE(answer.contentLength.has_value());
}

TEST(ProxyHttpAnswer, ConnectionPersistenceFollowsVersionAndTokens) {
    auto keepAlive = [](const std::string& head) { return ParseHttpProxyAnswer(head + "\r\n").keepAlive; };
    EXPECT_TRUE(keepAlive("HTTP/1.1 407 x\r\n"));
    EXPECT_FALSE(keepAlive("HTTP/1.0 407 x\r\n"));
    EXPECT_TRUE(keepAlive("HTTP/1.0 407 x\r\nProxy-Connection: Keep-Alive\r\n"));
    EXPECT_FALSE(keepAlive("HTTP/1.1 407 x\r\nconnection: TE, Close\r\n"));
    EXPECT_FALSE(keepAlive("HTTP/1.0 407 x\r\nConnection: keep-alive\r\nProxy-Connection: close\r\n"));
}

TEST(ProxyHttpAnswer, SuccessHeadersAreConsumedAndTunnelBytesLeftAlone) {
    const std::string head = "HTTP/1.1 200 Connection established\r\nProxy-agent: tinyproxy/1.11.1\r\n\r\n";
    const THttpProxyAnswer answer = ParseHttpProxyAnswer(head + "\x03\x00\x00\x13"s);
    ASSERT_EQ(answer.state, TProxyAnswerState::Done);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.consumed, head.size());
}

TEST(ProxyHttpAnswer, BareLineFeedsAndAStatusWithoutReasonAreAccepted) {
    const THttpProxyAnswer answer = ParseHttpProxyAnswer("HTTP/1.1 200\nContent-Length: 0\n\nX");
    ASSERT_EQ(answer.state, TProxyAnswerState::Done);
    EXPECT_EQ(answer.consumed, 32u);
    EXPECT_EQ(StatusReasonPhrase(answer.statusLine), "");
    EXPECT_EQ(answer.contentLength, 0u);
}

TEST(ProxyHttpAnswer, EveryCutBeforeTheEmptyLineNeedsMore) {
    for (std::size_t cut = 0; cut < kSquid407.size(); ++cut) {
        const THttpProxyAnswer answer = ParseHttpProxyAnswer(std::string_view(kSquid407).substr(0, cut));
        ASSERT_EQ(answer.state, TProxyAnswerState::NeedMore) << "cut at " << cut;
    }
}

TEST(ProxyHttpAnswer, ChunkedBodiesAreNoticed) {
    const THttpProxyAnswer answer =
        ParseHttpProxyAnswer("HTTP/1.1 407 x\r\nTransfer-Encoding: gzip, chunked\r\n\r\n");
    ASSERT_EQ(answer.state, TProxyAnswerState::Done);
    EXPECT_TRUE(answer.chunked);
}

TEST(ProxyHttpAnswer, AStrangerIsToldApartAtItsFirstByte) {
    EXPECT_EQ(ParseHttpProxyAnswer("S").state, TProxyAnswerState::Error);  // e.g. an SSH banner
    EXPECT_EQ(ParseHttpProxyAnswer("\x05\x00"s).state, TProxyAnswerState::Error);  // a SOCKS answer
    EXPECT_EQ(ParseHttpProxyAnswer("HTTP").state, TProxyAnswerState::NeedMore);
    EXPECT_EQ(ParseHttpProxyAnswer("").state, TProxyAnswerState::NeedMore);
}

TEST(ProxyHttpAnswer, MalformedHeadsAreErrors) {
    for (const std::string head : {"HTTP/1.1 2x0 OK\r\n\r\n", "HTTP/2 200\r\n\r\n", "HTTP/1.1 200OK\r\n\r\n", "HTTP/1.1 007 x\r\n\r\n",
                                   "HTTP/1.1 407 x\r\nContent-Length: 12a\r\n\r\n",
                                   "HTTP/1.1 407 x\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
                                   "HTTP/1.1 407 x\r\nContent-Length: 9999999999999999999\r\n\r\n"}) {
        const THttpProxyAnswer answer = ParseHttpProxyAnswer(head);
        EXPECT_EQ(answer.state, TProxyAnswerState::Error) << head;
        EXPECT_FALSE(answer.reason.empty()) << head;
    }
}

TEST(ProxyHttpAnswer, AHeadThatNeverEndsIsGivenUpAtTheLimit) {
    std::string head = "HTTP/1.1 200 OK\r\n";
    while (head.size() < kMaxProxyAnswerHead - 1) head += "X-Filler: yes\r\n";
    head.resize(kMaxProxyAnswerHead - 1);
    EXPECT_EQ(ParseHttpProxyAnswer(head).state, TProxyAnswerState::NeedMore);
    head += "x";
    EXPECT_EQ(ParseHttpProxyAnswer(head).state, TProxyAnswerState::Error);
    // An end beyond the limit does not change the verdict.
    EXPECT_EQ(ParseHttpProxyAnswer(head + "\r\n\r\n").state, TProxyAnswerState::Error);
}

TEST(ProxySocks4Reply, GrantedReplyGivesTheBoundAddress) {
    const TSocksAnswer answer = ParseSocks4Reply("\x00\x5A\x1F\x90\x7F\x00\x00\x01tail"s);
    ASSERT_EQ(answer.state, TProxyAnswerState::Done);
    EXPECT_EQ(answer.consumed, 8u);
    EXPECT_EQ(answer.boundHost, "127.0.0.1");
    EXPECT_EQ(answer.boundPort, 8080);
    EXPECT_EQ(ParseSocks4Reply("\x00\x5A\x00\x00\x00\x00\x00"s).state, TProxyAnswerState::NeedMore);
}

TEST(ProxySocks4Reply, RefusalIsKnownFromItsSecondByte) {
    const TSocksAnswer answer = ParseSocks4Reply("\x00\x5B"s);
    ASSERT_EQ(answer.state, TProxyAnswerState::Error);
    EXPECT_EQ(answer.code, 0x5B);
    EXPECT_NE(answer.reason.find("0x5B"), std::string::npos);
    EXPECT_NE(answer.reason.find("rejected"), std::string::npos);
    EXPECT_EQ(ParseSocks4Reply("\x05\x00"s).state, TProxyAnswerState::Error);  // a SOCKS 5 server
}

TEST(ProxySocks5Replies, MethodChoiceAndRefusal) {
    const TSocksAnswer chosen = ParseSocks5MethodReply("\x05\x02"s);
    ASSERT_EQ(chosen.state, TProxyAnswerState::Done);
    EXPECT_EQ(chosen.code, kSocks5UserPassword);
    EXPECT_EQ(chosen.consumed, 2u);
    const TSocksAnswer refused = ParseSocks5MethodReply("\x05\xFF"s);
    EXPECT_EQ(refused.state, TProxyAnswerState::Error);
    EXPECT_EQ(refused.code, 0xFF);
    EXPECT_EQ(ParseSocks5MethodReply("\x05"s).state, TProxyAnswerState::NeedMore);
    EXPECT_EQ(ParseSocks5MethodReply("\x04\x00"s).state, TProxyAnswerState::Error);
}

TEST(ProxySocks5Replies, UserPasswordStatus) {
    EXPECT_EQ(ParseSocks5AuthReply("\x01\x00"s).state, TProxyAnswerState::Done);
    const TSocksAnswer rejected = ParseSocks5AuthReply("\x01\x01"s);
    EXPECT_EQ(rejected.state, TProxyAnswerState::Error);
    EXPECT_EQ(rejected.code, 1);
    EXPECT_EQ(ParseSocks5AuthReply("\x05\x00"s).state, TProxyAnswerState::Error);
}

TEST(ProxySocks5Replies, ConnectReplyInEachAddressForm) {
    const TSocksAnswer v4 = ParseSocks5ConnectReply("\x05\x00\x00\x01\x7F\x00\x00\x01\x13\x88+"s);
    ASSERT_EQ(v4.state, TProxyAnswerState::Done);
    EXPECT_EQ(v4.consumed, 10u);
    EXPECT_EQ(v4.boundHost, "127.0.0.1");
    EXPECT_EQ(v4.boundPort, 5000);

    const TSocksAnswer name = ParseSocks5ConnectReply("\x05\x00\x00\x03\x09localhost\x00\x50"s);
    ASSERT_EQ(name.state, TProxyAnswerState::Done);
    EXPECT_EQ(name.consumed, 16u);
    EXPECT_EQ(name.boundHost, "localhost");
    EXPECT_EQ(name.boundPort, 80);

    const std::string v6Reply = "\x05\x00\x00\x04"s + std::string(15, '\0') + "\x01\x00\x16"s;
    const TSocksAnswer v6 = ParseSocks5ConnectReply(v6Reply);
    ASSERT_EQ(v6.state, TProxyAnswerState::Done);
    EXPECT_EQ(v6.consumed, 22u);
    EXPECT_EQ(v6.boundHost, "::1");
    for (std::size_t cut = 0; cut < v6Reply.size(); ++cut)
        ASSERT_EQ(ParseSocks5ConnectReply(v6Reply.substr(0, cut)).state, TProxyAnswerState::NeedMore) << cut;
}

TEST(ProxySocks5Replies, ConnectRefusalAndUnknownAddressType) {
    const TSocksAnswer refused = ParseSocks5ConnectReply("\x05\x05\x00\x01"s);
    ASSERT_EQ(refused.state, TProxyAnswerState::Error);
    EXPECT_EQ(refused.code, 5);
    EXPECT_NE(refused.reason.find("connection refused"), std::string::npos);
    EXPECT_EQ(ParseSocks5ConnectReply("\x05\x00\x00\x02\x00\x00"s).state, TProxyAnswerState::Error);
}

TEST(ProxySocks5Replies, UnprintableBoundNamesAreMasked) {
    const TSocksAnswer name = ParseSocks5ConnectReply("\x05\x00\x00\x03\x03\x01\xFFz\x00\x01"s);
    ASSERT_EQ(name.state, TProxyAnswerState::Done);
    EXPECT_EQ(name.boundHost, "??z");
}

}  // namespace
}  // namespace kiv
