#include <gtest/gtest.h>

#include "channels/ChannelPayload.h"

namespace kiv {
namespace {

TBytes Message(std::size_t n) {
    TBytes m(n);
    for (std::size_t i = 0; i < n; ++i) m[i] = static_cast<uint8_t>(0xA0 + i % 32);
    return m;
}

TEST(ChannelPayload, OutgoingSizesEndInZeroBytes) {
    for (const auto& [n, wire] : std::vector<std::pair<std::size_t, std::size_t>>{
             {21, 22}, {25, 26}, {1031, 1032}, {20, 22}, {0, 2}, {1, 2}}) {
        const TBytes framed = WrapForSending(Message(n));
        ASSERT_EQ(framed.size(), wire) << n;
        EXPECT_TRUE(std::equal(framed.begin(), framed.begin() + static_cast<long>(n), Message(n).begin()));
        for (std::size_t i = n; i < wire; ++i) EXPECT_EQ(framed[i], 0) << n << " at " << i;
    }
}

TEST(ChannelPayload, ReceivedLenIsRoundedDownPlusTerminator) {
    EXPECT_EQ(ReceivedLen(37), 38);
    EXPECT_EQ(ReceivedLen(38), 40);
    EXPECT_EQ(ReceivedLen(0), 2);
    EXPECT_EQ(ReceivedLen(1), 2);
    const TReceivedMessage m = UnwrapReceived(Message(37));
    ASSERT_EQ(m.len, 38);
    ASSERT_GE(m.buffer.size(), 38u);
    EXPECT_EQ(m.buffer[36], Message(37)[36]);  // the odd last byte is kept
    EXPECT_EQ(m.buffer[37], 0);
}

TEST(ChannelPayload, ARoundTripKeepsTheMessage) {
    const TBytes message = Message(4000);
    const TReceivedMessage m = UnwrapReceived(WrapForSending(message));
    EXPECT_EQ(m.len, 4002 + 2);  // 4002 wire bytes: 2001 units, plus the terminator
    EXPECT_TRUE(std::equal(message.begin(), message.end(), m.buffer.begin()));
}

}  // namespace
}  // namespace kiv
