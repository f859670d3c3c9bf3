// The port mapper's cost against a plain loopback connection: a helper for
// bench_port_mapper.sh, which runs each role as its own process (so it can pin
// them and put socat or a proxy in between), and, run alone, a quick in-process
// comparison of direct and mapped connections.
//
//   bench_tunnel serve                 a server; prints "PORT n"; 'S' + size: sink, 'P': ping-pong
//   bench_tunnel map TARGET_PORT [TYPE PROXY_PORT]
//                                      a mapper to 127.0.0.1:TARGET_PORT; prints "PORT n"
//   bench_tunnel throughput PORT BYTES prints "seconds bytes/s"
//   bench_tunnel pingpong PORT COUNT   prints the median round trip in microseconds
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "proxy/Proxy.h"

namespace {

using Clock = std::chrono::steady_clock;

int Listen(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0) {
        std::perror("listen");
        std::exit(1);
    }
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

int Connect(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

bool ReadExactly(int fd, char* out, std::size_t size) {
    while (size > 0) {
        const ssize_t got = ::recv(fd, out, size, 0);
        if (got <= 0) return false;
        out += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void Serve(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    char command = 0;
    if (!ReadExactly(fd, &command, 1)) return;
    if (command == 'S') {
        uint64_t left = 0;
        if (!ReadExactly(fd, reinterpret_cast<char*>(&left), sizeof left)) return;
        std::vector<char> buffer(256 * 1024);
        while (left > 0) {
            const ssize_t got = ::recv(fd, buffer.data(), std::min<uint64_t>(buffer.size(), left), 0);
            if (got <= 0) return;
            left -= static_cast<uint64_t>(got);
        }
        WriteAll(fd, "K", 1);
    } else if (command == 'P') {
        char byte = 0;
        while (ReadExactly(fd, &byte, 1) && WriteAll(fd, &byte, 1)) {
        }
    }
}

void RunServer(int listener) {
    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::thread([fd] {
            Serve(fd);
            ::close(fd);
        }).detach();
    }
}

double Throughput(uint16_t port, uint64_t bytes) {
    const int fd = Connect(port);
    std::vector<char> buffer(256 * 1024, 'x');
    const auto start = Clock::now();
    WriteAll(fd, "S", 1);
    WriteAll(fd, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    for (uint64_t left = bytes; left > 0;) {
        const std::size_t now = static_cast<std::size_t>(std::min<uint64_t>(left, buffer.size()));
        if (!WriteAll(fd, buffer.data(), now)) return 0;
        left -= now;
    }
    char ack = 0;
    if (!ReadExactly(fd, &ack, 1)) return 0;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ::close(fd);
    return static_cast<double>(bytes) / seconds;
}

double MedianRoundTripMicros(uint16_t port, int count) {
    const int fd = Connect(port);
    WriteAll(fd, "P", 1);
    std::vector<double> trips;
    trips.reserve(static_cast<std::size_t>(count));
    char byte = 'p';
    for (int i = 0; i < count + 50; ++i) {  // the first 50 warm the path up
        const auto start = Clock::now();
        if (!WriteAll(fd, &byte, 1) || !ReadExactly(fd, &byte, 1)) break;
        if (i >= 50) trips.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    ::close(fd);
    if (trips.empty()) return 0;
    std::nth_element(trips.begin(), trips.begin() + static_cast<long>(trips.size() / 2), trips.end());
    return trips[trips.size() / 2];
}

kiv::TProxySet Settings(int type, int proxyPort) {
    kiv::TProxySet proxy;
    proxy.ProxyType = type;
    if (type != 0) {
        proxy.ProxyServer = "127.0.0.1";
        proxy.ProxyPort = proxyPort;
    }
    return proxy;
}

// Run without a role (as the bench runner does): both paths in this process.
int QuickComparison() {
    uint16_t serverPort = 0;
    const int listener = Listen(serverPort);
    std::thread(RunServer, listener).detach();
    kiv::TProxy mapper;
    mapper.SetProxy(Settings(0, 0));
    mapper.SetActive(true);
    mapper.SetTargetHost("127.0.0.1");
    mapper.SetTargetPort(serverPort);
    const auto mapped = static_cast<uint16_t>(mapper.GetLocalPort());
    constexpr uint64_t kBytes = 256ull << 20;
    for (int round = 0; round < 2; ++round) {
        const double direct = Throughput(serverPort, kBytes);
        const double through = Throughput(mapped, kBytes);
        const double directTrip = MedianRoundTripMicros(serverPort, 2000);
        const double mappedTrip = MedianRoundTripMicros(mapped, 2000);
        std::printf("round %d: 256 MiB direct %.2f GB/s, mapper %.2f GB/s (%.2f); ping-pong median direct %.1f us, "
                    "mapper %.1f us (%.2f)\n",
                    round + 1, direct / 1e9, through / 1e9, through / direct, directTrip, mappedTrip,
                    mappedTrip / directTrip);
    }
    std::printf("(unpinned, in one process: bench/bench_port_mapper.sh gives the pinned, interleaved figures)\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    const std::string role = argc > 1 ? argv[1] : "";
    if (role == "serve") {
        uint16_t port = 0;
        const int listener = Listen(port);
        std::printf("PORT %u\n", port);
        std::fflush(stdout);
        RunServer(listener);
        return 0;
    }
    if (role == "map" && argc >= 3) {
        kiv::TProxy mapper;
        mapper.SetProxy(Settings(argc >= 5 ? std::atoi(argv[3]) : 0, argc >= 5 ? std::atoi(argv[4]) : 0));
        mapper.SetActive(true);
        mapper.SetTargetHost("127.0.0.1");
        mapper.SetTargetPort(std::atoi(argv[2]));
        std::printf("PORT %d\n", mapper.GetLocalPort());
        std::fflush(stdout);
        ::pause();  // until the script ends this process
        return 0;
    }
    if (role == "throughput" && argc >= 4) {
        const double rate = Throughput(static_cast<uint16_t>(std::atoi(argv[2])), std::strtoull(argv[3], nullptr, 10));
        std::printf("%.0f\n", rate);
        return rate > 0 ? 0 : 1;
    }
    if (role == "pingpong" && argc >= 4) {
        const double median = MedianRoundTripMicros(static_cast<uint16_t>(std::atoi(argv[2])), std::atoi(argv[3]));
        std::printf("%.2f\n", median);
        return median > 0 ? 0 : 1;
    }
    return QuickComparison();
}
