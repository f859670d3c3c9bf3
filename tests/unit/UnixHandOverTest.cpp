#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <thread>

#include "desktop/HandOverRecord.h"
#include "platform/linux/LocalCommandServer.h"
#include "platform/linux/PrivateFolder.h"
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

TEST(PrivateFolder, MadeForThisUserAloneOrRefused) {
    constexpr uid_t kOther = 65534;
    struct Case {
        const char* name;
        std::function<void(const std::filesystem::path& base)> before;  // on <temp>/base
        bool rootOnly;
        bool safe;
        const char* why;
    };
    const std::vector<Case> cases{
        {"made afresh", [](const auto&) {}, false, true, ""},
        {"ours already", [](const auto& b) { mkdir(b.c_str(), 0700); }, false, true, ""},
        {"writable by others", [](const auto& b) { mkdir(b.c_str(), 0700), chmod(b.c_str(), 0777); }, false, false,
         "may be written by others"},
        {"a file", [](const auto& b) { std::ofstream(b).put('x'); }, false, false, "is not a folder"},
        {"made first by another user",
         [](const auto& b) { mkdir(b.c_str(), 0755), (void)!chown(b.c_str(), kOther, kOther); }, true, false,
         "belongs to user 65534"},
        {"a link of another user", [](const auto& b) { mkdir((b.string() + "-real").c_str(), 0700),
                                                       (void)!symlink((b.string() + "-real").c_str(), b.c_str()),
                                                       (void)!lchown(b.c_str(), kOther, kOther); },
         true, false, "is a link of user 65534"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.rootOnly && getuid() != 0) continue;  // only root can give a folder away
        test::TempDir dir;
        const auto base = dir.path() / "kiv-1000";
        c.before(base);
        std::string why;
        EXPECT_EQ(PreparePrivateFolder(base / "VYNClient6.0", why), c.safe);
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        struct stat made {};
        if (c.safe) {
            ASSERT_EQ(stat((base / "VYNClient6.0").c_str(), &made), 0);
            EXPECT_EQ(made.st_mode & 07777, 0700u);
        }
    }
}

TEST(PrivateFolder, NoHandOverAndNoControlSocketInAFolderOthersMayWrite) {
    test::TempDir dir;
    test::TestMainLoop loop;
    const auto shared = dir.path() / "shared";
    std::filesystem::create_directory(shared);
    chmod(shared.c_str(), 0777);
    TUnixHandOverFactory factory(loop, shared);
    auto listener = factory.CreateEndpoint();
    listener->Listen("key", [](const std::vector<uint8_t>&) {});
    EXPECT_TRUE(std::filesystem::is_empty(shared));
    // A listener made while the folder was private is not found once others may write there.
    chmod(shared.c_str(), 0700);
    listener->Listen("key", [](const std::vector<uint8_t>&) {});
    ASSERT_FALSE(std::filesystem::is_empty(shared));
    chmod(shared.c_str(), 0777);
    auto finder = factory.CreateEndpoint();
    finder->FindPeer("key");
    EXPECT_FALSE(finder->PeerFound());
    TLocalCommandServer commands(loop, [](const std::string&) {});
    EXPECT_FALSE(commands.Start(shared / "control-1.sock"));
    EXPECT_FALSE(std::filesystem::exists(shared / "control-1.sock"));
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
