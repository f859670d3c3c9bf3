#include <gtest/gtest.h>

#include <thread>

#include "desktop/HandOverRecord.h"
#include "platform/linux/UnixHandOver.h"
#include "support/TempDir.h"
#include "support/TestMainLoop.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;

TEST(HandOverRecord, LayoutAndLimits) {
    const auto bytes = THandOverRecord{"APP1", std::string(300, 'p')}.Encode();
    ASSERT_EQ(bytes.size(), 516u);
    EXPECT_EQ(bytes[0], 4);
    EXPECT_EQ(bytes[1], 'A');
    EXPECT_EQ(bytes[256], 255);  // cut to what a length byte can say
    EXPECT_EQ(bytes[512], 4);
    EXPECT_EQ(bytes[513], 0);
    const auto back = THandOverRecord::Decode(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->AppID, "APP1");
    EXPECT_EQ(back->AppParam.size(), 255u);
    EXPECT_FALSE(THandOverRecord::Decode(bytes.data(), 515));
    std::vector<uint8_t> junk(516, 0xFF);  // lengths of 255 everywhere still stay inside their fields
    EXPECT_EQ(THandOverRecord::Decode(junk.data(), junk.size())->AppID.size(), 255u);
}

TEST(UnixHandOver, ASecondLaunchFindsTheFirstAndHandsItsRecordOver) {
    test::TempDir dir;
    test::TestMainLoop loop;
    TUnixHandOverFactory factory(loop, dir.path() / "run");
    auto first = factory.CreateEndpoint();
    std::vector<THandOverRecord> received;
    first->Listen("srv|3389|D|U|P|3", [&](const std::vector<uint8_t>& bytes) {
        received.push_back(*THandOverRecord::Decode(bytes.data(), bytes.size()));
    });

    auto second = factory.CreateEndpoint();
    second->FindPeer("SRV|3389|d|u|p|3");  // keys compare without regard to case
    ASSERT_TRUE(second->PeerFound());
    std::thread sender([&] { second->Send(THandOverRecord{"APP2", "doc.txt"}.Encode()); });
    EXPECT_TRUE(loop.RunUntil([&] { return !received.empty(); }, 5s));
    sender.join();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].AppID, "APP2");
    EXPECT_EQ(received[0].AppParam, "doc.txt");

    auto other = factory.CreateEndpoint();
    other->FindPeer("srv|3390|D|U|P|3");
    EXPECT_FALSE(other->PeerFound());
}

TEST(UnixHandOver, ALeftoverSocketOfADeadInstanceIsReplaced) {
    test::TempDir dir;
    test::TestMainLoop loop;
    TUnixHandOverFactory factory(loop, dir.path());
    TUnixHandOverEndpoint probe(loop, dir.path());
    const auto path = probe.SocketPath("key");
    dir.Write(path.filename(), "");  // not a socket anybody listens on
    auto endpoint = factory.CreateEndpoint();
    int got = 0;
    endpoint->Listen("key", [&](const std::vector<uint8_t>&) { ++got; });
    auto finder = factory.CreateEndpoint();
    finder->FindPeer("key");
    EXPECT_TRUE(finder->PeerFound());
    endpoint.reset();  // the listener goes: its socket goes with it
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(UnixHandOver, AShortRecordIsNoLaunch) {
    test::TempDir dir;
    test::TestMainLoop loop;
    TUnixHandOverFactory factory(loop, dir.path());
    auto listener = factory.CreateEndpoint();
    int got = 0;
    listener->Listen("k", [&](const std::vector<uint8_t>&) { ++got; });
    auto sender = factory.CreateEndpoint();
    sender->FindPeer("k");
    sender->Send(std::vector<uint8_t>(10, 1));  // closes after 10 bytes: nothing to wait for
    loop.RunUntil([] { return false; }, 200ms);
    EXPECT_EQ(got, 0);
}

TEST(ClientMarker, FirstInstanceAndTheLastOneRemovesIt) {
    const std::string name = "/KIV_CLIENT_MAP.test." + std::to_string(getpid());
    TPosixClientMarker first(name);
    ASSERT_TRUE(first.Open());
    EXPECT_TRUE(first.IsFirstInstance());
    TPosixClientMarker second(name);
    ASSERT_TRUE(second.Open());
    EXPECT_FALSE(second.IsFirstInstance());
    second.Close();
    TPosixClientMarker third(name);
    ASSERT_TRUE(third.Open());
    EXPECT_FALSE(third.IsFirstInstance());  // the first still holds it
    third.Close();
    first.Close();
    TPosixClientMarker again(name);
    ASSERT_TRUE(again.Open());
    EXPECT_TRUE(again.IsFirstInstance());
}

}  // namespace
}  // namespace kiv
