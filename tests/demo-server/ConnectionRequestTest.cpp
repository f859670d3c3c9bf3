// The client's first PDU: the routing token is recorded exactly and taken
// out, the lengths are mended, anything else passes unchanged.
#include <gtest/gtest.h>

#include "tools/demo-server/ConnectionRequest.h"

namespace kiv::demo {
namespace {

const TBytes kNegotiationRequest{0x01, 0x00, 0x08, 0x00, 0x03, 0x00, 0x00, 0x00};

// TPKT + X.224 Connection Request with `variable` after the fixed part.
TBytes Request(const TBytes& variable) {
    const std::size_t length = 11 + variable.size();
    TBytes pdu{0x03,
               0x00,
               static_cast<std::uint8_t>(length >> 8),
               static_cast<std::uint8_t>(length & 0xFF),
               static_cast<std::uint8_t>(length - 5),
               0xE0,
               0x00,
               0x00,
               0x00,
               0x00,
               0x00};
    pdu.insert(pdu.end(), variable.begin(), variable.end());
    return pdu;
}

TBytes Concat(std::string_view text, const TBytes& tail) {
    TBytes bytes(text.begin(), text.end());
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

TEST(ConnectionRequest, TakesOutTheLoadBalanceTokenWithItsZeroByte) {
    const std::string_view token("AGS:SID00000000\0\r\n", 18);
    const TConnectionRequest request = SplitConnectionRequest(Request(Concat(token, kNegotiationRequest)));
    EXPECT_EQ(ToHex(request.routingToken), "4147533A5349443030303030303030000D0A");
    EXPECT_EQ(request.forwarded, Request(kNegotiationRequest));
    EXPECT_TRUE(request.cookie.empty());
}

TEST(ConnectionRequest, TakesOutATokenBeforeCorrelationInfoOrAlone) {
    TBytes correlation = kNegotiationRequest;
    correlation.push_back(0x06);
    correlation.resize(8 + 36, 0x00);
    const TConnectionRequest withCorrelation = SplitConnectionRequest(Request(Concat("AGS:1\r\n", correlation)));
    EXPECT_EQ(ToHex(withCorrelation.routingToken), "4147533A310D0A");
    EXPECT_EQ(withCorrelation.forwarded, Request(correlation));

    const TConnectionRequest alone = SplitConnectionRequest(Request(Concat("Cookie: msts=1.2.3\r\n", {})));
    EXPECT_EQ(alone.routingToken.size(), 20u);
    EXPECT_EQ(alone.forwarded, Request({}));
}

TEST(ConnectionRequest, ACrLfInsideTheTokenStaysInIt) {
    // Only a CR LF followed by a valid ending ends the token.
    const TConnectionRequest request = SplitConnectionRequest(Request(Concat("A\r\nB\r\n", kNegotiationRequest)));
    EXPECT_EQ(ToHex(request.routingToken), "410D0A420D0A");
    EXPECT_EQ(request.forwarded, Request(kNegotiationRequest));
}

TEST(ConnectionRequest, LeavesCookiesAndPlainRequestsToFreeRdp) {
    const TBytes withCookie = Request(Concat("Cookie: mstshash=alice\r\n", kNegotiationRequest));
    const TConnectionRequest cookie = SplitConnectionRequest(withCookie);
    EXPECT_EQ(cookie.cookie, "alice");
    EXPECT_TRUE(cookie.routingToken.empty());
    EXPECT_EQ(cookie.forwarded, withCookie);

    const TBytes plain = Request(kNegotiationRequest);
    EXPECT_EQ(SplitConnectionRequest(plain).forwarded, plain);
    EXPECT_TRUE(SplitConnectionRequest(plain).routingToken.empty());
}

TEST(ConnectionRequest, ForwardsWhatItCannotReadUnchanged) {
    const TBytes noCrLf = Request(Concat("AGS:SID", kNegotiationRequest));
    TBytes wrongCode = Request(Concat("AGS:1\r\n", kNegotiationRequest));
    wrongCode[5] = 0xD0;
    TBytes wrongIndicator = Request(Concat("AGS:1\r\n", kNegotiationRequest));
    wrongIndicator[4] += 1;
    TBytes shortTpkt = Request(Concat("AGS:1\r\n", kNegotiationRequest));
    shortTpkt.pop_back();
    const TBytes tiny{0x03, 0x00};
    const TBytes notTpkt{'G', 'E', 'T', ' ', '/'};
    for (const TBytes& pdu : {noCrLf, wrongCode, wrongIndicator, shortTpkt, tiny, notTpkt, TBytes{}}) {
        const TConnectionRequest request = SplitConnectionRequest(pdu);
        EXPECT_EQ(request.forwarded, pdu) << ToHex(pdu);
        EXPECT_TRUE(request.routingToken.empty()) << ToHex(pdu);
    }
}

TEST(ConnectionRequest, TpktLengthReadsTheHeaderOnly) {
    const TBytes head{0x03, 0x00, 0x01, 0x2C};
    EXPECT_EQ(TpktLength(head.data(), head.size()), 300u);
    EXPECT_FALSE(TpktLength(head.data(), 3).has_value());
    const TBytes fastPath{0x04, 0x00, 0x01, 0x2C};
    EXPECT_FALSE(TpktLength(fastPath.data(), fastPath.size()).has_value());
    const TBytes tooShort{0x03, 0x00, 0x00, 0x03};
    EXPECT_FALSE(TpktLength(tooShort.data(), tooShort.size()).has_value());
}

}  // namespace
}  // namespace kiv::demo
