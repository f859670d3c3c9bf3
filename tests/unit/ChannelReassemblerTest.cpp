#include "channels/ChannelReassembler.h"

#include <gtest/gtest.h>

#include <numeric>

namespace kiv {
namespace {

constexpr uint32_t kFirst = kChannelChunkFirst;
constexpr uint32_t kLast = kChannelChunkLast;
constexpr uint32_t kOnly = kChannelChunkFirst | kChannelChunkLast;
constexpr uint32_t kMiddle = 0;

TBytes Sequence(std::size_t n, uint8_t start = 0) {
    TBytes bytes(n);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

TEST(ChannelReassembler, SingleChunkMessageIsCompleteAtOnce) {
    TChannelReassembler r;
    const TBytes message = Sequence(26);
    EXPECT_EQ(r.AddChunk(message, 26, kOnly), TChunkResult::Complete);
    EXPECT_EQ(r.TakeMessage(), message);
    EXPECT_TRUE(r.TakeMessage().empty());  // taken once
}

TEST(ChannelReassembler, ChunksAreJoinedInOrder) {
    TChannelReassembler r;
    const TBytes message = Sequence(4000, 7);
    const std::span<const uint8_t> all(message);
    EXPECT_EQ(r.AddChunk(all.subspan(0, 1600), 4000, kFirst), TChunkResult::Incomplete);
    EXPECT_TRUE(r.InProgress());
    EXPECT_EQ(r.AddChunk(all.subspan(1600, 1600), 4000, kMiddle), TChunkResult::Incomplete);
    EXPECT_EQ(r.AddChunk(all.subspan(3200), 4000, kLast), TChunkResult::Complete);
    EXPECT_EQ(r.TakeMessage(), message);
    EXPECT_FALSE(r.InProgress());
}

TEST(ChannelReassembler, FlagBitsOtherThanFirstAndLastDoNotMatter) {
    // Channels opened with "show protocol" get that bit (0x10) in every chunk.
    TChannelReassembler r;
    const TBytes message = Sequence(10);
    EXPECT_EQ(r.AddChunk(message, 10, kOnly | 0x10), TChunkResult::Complete);
    EXPECT_EQ(r.TakeMessage(), message);
}

TEST(ChannelReassembler, HostileTotalLengthIsRefusedWithoutAllocating) {
    TChannelReassembler r(1024);
    const TBytes chunk = Sequence(100);
    EXPECT_EQ(r.AddChunk(chunk, 0xFFFFFFFFu, kFirst), TChunkResult::Dropped);
    // The rest of that message goes the same way, then the channel works again.
    EXPECT_EQ(r.AddChunk(chunk, 0xFFFFFFFFu, kMiddle), TChunkResult::Dropped);
    EXPECT_EQ(r.AddChunk(chunk, 0xFFFFFFFFu, kLast), TChunkResult::Dropped);
    EXPECT_EQ(r.AddChunk(chunk, 100, kOnly), TChunkResult::Complete);
    EXPECT_EQ(r.TakeMessage(), chunk);
}

TEST(ChannelReassembler, TheDefaultCapIsSixteenMebibytes) {
    TChannelReassembler r;
    const TBytes chunk = Sequence(16);
    EXPECT_EQ(r.AddChunk(chunk, kMaxChannelMessageBytes + 1, kFirst), TChunkResult::Dropped);
    EXPECT_EQ(r.AddChunk(chunk, kMaxChannelMessageBytes, kFirst), TChunkResult::Incomplete);
}

TEST(ChannelReassembler, ChunkWithoutFirstIsDropped) {
    TChannelReassembler r;
    const TBytes chunk = Sequence(8);
    EXPECT_EQ(r.AddChunk(chunk, 16, kMiddle), TChunkResult::Dropped);
    EXPECT_EQ(r.AddChunk(chunk, 16, kLast), TChunkResult::Dropped);
    EXPECT_TRUE(r.TakeMessage().empty());
}

TEST(ChannelReassembler, NewFirstMidMessageStartsOver) {
    TChannelReassembler r;
    const TBytes stale = Sequence(8, 100);
    const TBytes fresh = Sequence(12, 1);
    EXPECT_EQ(r.AddChunk(stale, 20, kFirst), TChunkResult::Incomplete);
    EXPECT_EQ(r.AddChunk(std::span<const uint8_t>(fresh).first(6), 12, kFirst), TChunkResult::Incomplete);
    EXPECT_EQ(r.AddChunk(std::span<const uint8_t>(fresh).subspan(6), 12, kLast), TChunkResult::Complete);
    EXPECT_EQ(r.TakeMessage(), fresh);  // nothing of the broken-off message remains
}

TEST(ChannelReassembler, MoreBytesThanAnnouncedDropTheMessage) {
    TChannelReassembler r;
    const TBytes chunk = Sequence(10);
    EXPECT_EQ(r.AddChunk(chunk, 15, kFirst), TChunkResult::Incomplete);
    EXPECT_EQ(r.AddChunk(chunk, 15, kMiddle), TChunkResult::Dropped);
    EXPECT_EQ(r.AddChunk(chunk, 15, kLast), TChunkResult::Dropped);  // rest of the broken message
    EXPECT_TRUE(r.TakeMessage().empty());
    // A single chunk longer than its own total is no better.
    EXPECT_EQ(r.AddChunk(chunk, 9, kOnly), TChunkResult::Dropped);
}

TEST(ChannelReassembler, MessageEndingShortIsDropped) {
    TChannelReassembler r;
    const TBytes chunk = Sequence(10);
    EXPECT_EQ(r.AddChunk(chunk, 30, kFirst), TChunkResult::Incomplete);
    EXPECT_EQ(r.AddChunk(chunk, 30, kLast), TChunkResult::Dropped);
    EXPECT_EQ(r.AddChunk(chunk, 11, kOnly), TChunkResult::Dropped);
    EXPECT_TRUE(r.TakeMessage().empty());
}

TEST(ChannelReassembler, ChangingTotalMidMessageDropsIt) {
    TChannelReassembler r;
    const TBytes chunk = Sequence(10);
    EXPECT_EQ(r.AddChunk(chunk, 20, kFirst), TChunkResult::Incomplete);
    EXPECT_EQ(r.AddChunk(chunk, 10, kLast), TChunkResult::Dropped);
    EXPECT_EQ(r.AddChunk(chunk, 10, kOnly), TChunkResult::Complete);
}

TEST(ChannelReassembler, EmptyMessagesAreNotDelivered) {
    TChannelReassembler r;
    EXPECT_EQ(r.AddChunk({}, 0, kOnly), TChunkResult::Dropped);
    EXPECT_FALSE(r.InProgress());
}

TEST(ChannelReassembler, ResetForgetsTheMessageUnderWay) {
    TChannelReassembler r;
    const TBytes chunk = Sequence(10);
    EXPECT_EQ(r.AddChunk(chunk, 20, kFirst), TChunkResult::Incomplete);
    r.Reset();
    EXPECT_EQ(r.AddChunk(chunk, 20, kLast), TChunkResult::Dropped);
}

}  // namespace
}  // namespace kiv
