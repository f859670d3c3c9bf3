// The relay between the client's connection and FreeRDP's end, on socket
// pairs inside the test.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "tools/demo-server/SocketRelay.h"

namespace kiv::demo {
namespace {

struct TPair {
    TPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
    int fds[2] = {-1, -1};
};

// Reads until `size` bytes came or the stream ended or 5 s passed.
std::string ReadUpTo(int fd, std::size_t size) {
    std::string data;
    while (data.size() < size) {
        pollfd poller{fd, POLLIN, 0};
        if (poll(&poller, 1, 5000) <= 0) break;
        char chunk[65536];
        const ssize_t n = read(fd, chunk, std::min(sizeof chunk, size - data.size()));
        if (n <= 0) break;
        data.append(chunk, static_cast<std::size_t>(n));
    }
    return data;
}

bool EndsWithin(int fd, int timeoutMs) {
    pollfd poller{fd, POLLIN, 0};
    if (poll(&poller, 1, timeoutMs) <= 0) return false;
    char byte;
    return read(fd, &byte, 1) == 0;
}

class SocketRelay : public ::testing::Test {
protected:
    void Start(TBytes first) {
        relay = std::make_unique<TSocketRelay>(client.fds[1], peer.fds[1], std::move(first));
        thread = std::thread([this] { relay->Run(); });
    }
    void TearDown() override {
        if (relay) relay->Stop();
        if (thread.joinable()) thread.join();
        close(client.fds[0]);
        close(peer.fds[0]);
    }
    TPair client;  // fds[0]: the client; fds[1]: the relay's
    TPair peer;    // fds[0]: FreeRDP's; fds[1]: the relay's
    std::unique_ptr<TSocketRelay> relay;
    std::thread thread;
};

TEST_F(SocketRelay, PassesTheFirstBytesThenBothDirections) {
    Start({'C', 'R'});
    ASSERT_EQ(write(client.fds[0], "hello", 5), 5);
    EXPECT_EQ(ReadUpTo(peer.fds[0], 7), "CRhello");
    const std::string big(300000, 'x');
    std::thread writer(
        [&] { ASSERT_EQ(write(peer.fds[0], big.data(), big.size()), static_cast<ssize_t>(big.size())); });
    EXPECT_EQ(ReadUpTo(client.fds[0], big.size()), big);
    writer.join();
}

TEST_F(SocketRelay, TheClientLeavingEndsThePeerSideAndTheRelay) {
    Start({});
    shutdown(client.fds[0], SHUT_WR);
    EXPECT_TRUE(EndsWithin(peer.fds[0], 2000));
    close(peer.fds[0]);
    peer.fds[0] = -1;
    thread.join();
    EXPECT_TRUE(EndsWithin(client.fds[0], 2000));
}

TEST_F(SocketRelay, DropPassesOnWhatWasWrittenThenEndsTheClientConnection) {
    Start({});
    ASSERT_EQ(write(peer.fds[0], "last words", 10), 10);
    relay->Drop();
    thread.join();
    EXPECT_EQ(ReadUpTo(client.fds[0], 100), "last words");
    EXPECT_TRUE(EndsWithin(client.fds[0], 1000));
}

}  // namespace
}  // namespace kiv::demo
