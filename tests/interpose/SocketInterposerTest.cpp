// The interception as the client has it: this test program exports the same
// wrappers, so its own socket calls go through them.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <functional>

#include "platform/linux/interpose/SocketInterposer.h"
#include "support/LoopbackTcpPair.h"

namespace kiv {
namespace {

struct Sums : ITrafficCounter {
    void AddReceived(int64_t count) override { received += count; }
    void AddSent(int64_t count) override { sent += count; }
    std::atomic<int64_t> sent{0}, received{0};
};

// A UDP pair on 127.0.0.1, each connected to the other.
struct UdpPair {
    int a = socket(AF_INET, SOCK_DGRAM, 0), b = socket(AF_INET, SOCK_DGRAM, 0);
    UdpPair() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        for (int fd : {a, b}) bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        sockaddr_in ab[2];
        for (int i = 0; i < 2; ++i) {
            size = sizeof ab[i];
            getsockname(i == 0 ? a : b, reinterpret_cast<sockaddr*>(&ab[i]), &size);
        }
        connect(a, reinterpret_cast<sockaddr*>(&ab[1]), sizeof ab[1]);
        connect(b, reinterpret_cast<sockaddr*>(&ab[0]), sizeof ab[0]);
    }
    ~UdpPair() {
        close(a);
        close(b);
    }
};

char buffer[65536];

TEST(SocketInterposer, CountsEveryCompletedNetworkTransferOnce) {
    ASSERT_TRUE(TSocketInterposer::Active()) << "the wrappers are not exported from this program";
    struct Case {
        const char* what;
        std::function<void()> run;
        int64_t sent, received;
    };
    const Case cases[] = {
        {"send and recv", [] { test::LoopbackTcpPair p; send(p.a, buffer, 1460, 0); recv(p.b, buffer, 1460, MSG_WAITALL); }, 1460, 1460},
        {"a peek is not a receive",
         [] {
             test::LoopbackTcpPair p;
             write(p.a, buffer, 100);
             recv(p.b, buffer, 100, MSG_PEEK | MSG_WAITALL);
             read(p.b, buffer, 100);
         },
         100, 100},
        {"failures add nothing",
         [] {
             test::LoopbackTcpPair p;
             shutdown(p.a, SHUT_WR);
             send(p.a, buffer, 100, MSG_NOSIGNAL);   // EPIPE
             recv(p.b, buffer, 100, MSG_DONTWAIT);   // 0: end of stream
             send(-1, buffer, 100, 0);               // EBADF
             recv(p.a, buffer, 100, MSG_DONTWAIT);   // EAGAIN
         },
         0, 0},
        {"vectors",
         [] {
             test::LoopbackTcpPair p;
             iovec out[2] = {{buffer, 30}, {buffer, 70}};
             writev(p.a, out, 2);
             iovec in[1] = {{buffer, 100}};
             while (readv(p.b, in, 1) == 0) {}
         },
         100, 100},
        {"messages",
         [] {
             test::LoopbackTcpPair p;
             iovec v{buffer, 64};
             msghdr m{};
             m.msg_iov = &v;
             m.msg_iovlen = 1;
             sendmsg(p.a, &m, 0);
             recvmsg(p.b, &m, MSG_WAITALL);
         },
         64, 64},
        {"datagrams, single and many",
         [] {
             UdpPair p;
             sendto(p.a, buffer, 10, 0, nullptr, 0);
             recvfrom(p.b, buffer, sizeof buffer, 0, nullptr, nullptr);
             iovec v[2] = {{buffer, 20}, {buffer, 30}};
             mmsghdr m[2] = {};
             for (int i = 0; i < 2; ++i) {
                 m[i].msg_hdr.msg_iov = &v[i];
                 m[i].msg_hdr.msg_iovlen = 1;
             }
             sendmmsg(p.a, m, 2, 0);
             iovec r[2] = {{buffer, 100}, {buffer + 100, 100}};
             for (int i = 0; i < 2; ++i) m[i].msg_hdr.msg_iov = &r[i];
             recvmmsg(p.b, m, 2, MSG_WAITFORONE, nullptr);
             while (recv(p.b, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {}
         },
         60, 60},
        {"a file sent, a socket spliced into a pipe",
         [] {
             test::LoopbackTcpPair p;
             FILE* file = tmpfile();
             fwrite(buffer, 1, 500, file);
             fflush(file);
             off_t offset = 0;
             sendfile(p.a, fileno(file), &offset, 500);
             fclose(file);
             int pipeFds[2];
             pipe(pipeFds);
             ssize_t moved = 0;
             while (moved < 500) moved += splice(p.b, nullptr, pipeFds[1], nullptr, 500 - moved, 0);
             read(pipeFds[0], buffer, 500);  // a pipe: not counted
             close(pipeFds[0]);
             close(pipeFds[1]);
         },
         500, 500},
        {"a copied socket is still a network socket",
         [] {
             test::LoopbackTcpPair p;
             const int copy = dup(p.a);
             send(copy, buffer, 40, 0);
             recv(p.b, buffer, 40, MSG_WAITALL);
             close(copy);
         },
         40, 40},
        {"Unix-domain sockets and pipes are not network traffic",
         [] {
             int pair[2];
             socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
             send(pair[0], buffer, 200, 0);
             recv(pair[1], buffer, 200, MSG_WAITALL);
             close(pair[0]);
             close(pair[1]);
             int pipeFds[2];
             pipe(pipeFds);
             write(pipeFds[1], buffer, 200);
             read(pipeFds[0], buffer, 200);
             close(pipeFds[0]);
             close(pipeFds[1]);
         },
         0, 0},
        {"a socket closed behind the wrappers' back leaves no mark once revalidated",
         [] {
             test::LoopbackTcpPair p;
             send(p.a, buffer, 10, 0);
             recv(p.b, buffer, 10, MSG_WAITALL);
             // The socket's number becomes /dev/zero where no wrapper sees it.
             const int zero = open("/dev/zero", O_RDONLY);
             syscall(SYS_dup3, zero, p.a, 0);
             syscall(SYS_close, zero);
             TSocketInterposer::Instance().Revalidate();
             read(p.a, buffer, 100);  // a device now: counts nothing
         },
         10, 10},
    };
    Sums sums;
    ASSERT_TRUE(TSocketInterposer::Instance().InstallHook(sums, false));
    for (const Case& c : cases) {
        sums.sent = 0;
        sums.received = 0;
        c.run();
        EXPECT_EQ(sums.sent.load(), c.sent) << c.what;
        EXPECT_EQ(sums.received.load(), c.received) << c.what;
    }
    TSocketInterposer::Instance().RemoveHook();
    sums.sent = 0;
    test::LoopbackTcpPair p;
    send(p.a, buffer, 10, 0);
    EXPECT_EQ(sums.sent.load(), 0) << "counted after RemoveHook";
}

TEST(SocketInterposer, TheKernelCountsWhatTheMeterCounted) {
    Sums sums;
    ASSERT_TRUE(TSocketInterposer::Instance().InstallHook(sums, true));
    {
        test::LoopbackTcpPair p;
        for (int i = 0; i < 20; ++i) {
            send(p.a, buffer, 3000, 0);
            recv(p.b, buffer, 3000, MSG_WAITALL);
            send(p.b, buffer, 17, 0);
        }
        recv(p.a, buffer, 17 * 19, MSG_WAITALL);  // the last 17 bytes stay unread
        close(p.b);                               // a's peer has gone when a is closed
        p.b = open("/dev/null", O_RDONLY);
    }
    TSocketInterposer::Instance().RemoveHook();
    const TKernelTrafficCounts kernel = TSocketInterposer::Instance().KernelCounts();
    EXPECT_GE(kernel.sockets, 2);  // the two ends (and the listener, with nothing counted)
    EXPECT_EQ(kernel.sent, sums.sent.load());
    EXPECT_EQ(kernel.received, sums.received.load());
    EXPECT_EQ(sums.sent.load(), 20 * 3017);
    EXPECT_EQ(sums.received.load(), 20 * 3000 + 19 * 17);
}

}  // namespace
// Shut down by us and then closed by the peer, or reset by the peer: the kernel
// leaves both CLOSED, and only the first has a FIN in its count.
TEST(SocketInterposer, TheKernelCountsConnectionsHoweverTheyEnded) {
    Sums sums;
    ASSERT_TRUE(TSocketInterposer::Instance().InstallHook(sums, true));
    {
        test::LoopbackTcpPair finished, reset;
        send(finished.a, buffer, 100, 0);
        shutdown(finished.a, SHUT_WR);
        recv(finished.b, buffer, 100, MSG_WAITALL);
        send(finished.b, buffer, 7, 0);
        close(finished.b);
        finished.b = open("/dev/null", O_RDONLY);
        recv(finished.a, buffer, 7, MSG_WAITALL);

        send(reset.a, buffer, 50, 0);
        const linger abort{1, 0};
        setsockopt(reset.b, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        close(reset.b);  // with the 50 bytes unread
        reset.b = open("/dev/null", O_RDONLY);
    }
    TSocketInterposer::Instance().RemoveHook();
    const TKernelTrafficCounts kernel = TSocketInterposer::Instance().KernelCounts();
    EXPECT_EQ(kernel.resets, 1);
    EXPECT_EQ(kernel.sent, sums.sent.load());
    EXPECT_EQ(kernel.received, sums.received.load());
}

}  // namespace kiv
