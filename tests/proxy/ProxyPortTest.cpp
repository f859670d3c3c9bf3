// The choice of the mapper's local port, and a start that cannot get one.
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <asio.hpp>

#include "ProxyTestSupport.h"
#include "proxy/ProxyFreePort.h"

namespace kiv::test {
namespace {

TEST(ProxyMapperPort, WithTheFirstFreePortTakenTheNextOneAboveIsUsed) {
    const TFreePort first = FindFreePort(kFirstMapperPort);
    ASSERT_GE(first.port, kFirstMapperPort) << first.error;
    asio::io_context io;
    asio::ip::tcp::acceptor taken(io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(),
                                                              static_cast<uint16_t>(first.port)));
    EXPECT_GT(FindFreePort(kFirstMapperPort).port, first.port);

    TTestTargets targets;
    const auto run = StartMapper(ProxySettings(0), "127.0.0.1", targets.Echo());
    EXPECT_GT(run->mapper->GetLocalPort(), first.port);
    EXPECT_TRUE(EchoesThrough(run->port(), "next port"));
}

TEST(ProxyMapperPort, TwoMappersGetTwoPorts) {
    TTestTargets targets;
    const uint16_t echo = targets.Echo();
    const auto one = StartMapper(ProxySettings(0), "127.0.0.1", echo);
    const auto two = StartMapper(ProxySettings(0), "127.0.0.1", echo);
    EXPECT_NE(one->port(), two->port());
    EXPECT_TRUE(EchoesThrough(one->port(), "one"));
    EXPECT_TRUE(EchoesThrough(two->port(), "two"));
}

TEST(ProxyMapperPort, WithoutAnySocketTheStartFailsInsteadOfSearchingOn) {
    TProxy mapper;
    mapper.SetProxy(ProxySettings(0));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // Every descriptor number below a lowered limit taken: no socket can be made.
    rlimit tight = saved;
    tight.rlim_cur = OpenDescriptorCount() + 16;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<int> filler;
    for (int fd; (fd = ::dup(STDERR_FILENO)) >= 0;) filler.push_back(fd);
    mapper.SetActive(true);
    const TFreePort none = FindFreePort(kFirstMapperPort);
    for (const int fd : filler) ::close(fd);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);

    EXPECT_EQ(mapper.GetLocalPort(), 0);
    EXPECT_EQ(none.port, 0);
    EXPECT_NE(none.error.find("no socket"), std::string::npos) << none.error;

    mapper.SetActive(true);  // with descriptors again, the next start works
    EXPECT_GE(mapper.GetLocalPort(), kFirstMapperPort);
}

}  // namespace
}  // namespace kiv::test
