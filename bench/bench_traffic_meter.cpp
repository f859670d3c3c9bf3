// What the traffic meter costs the socket path: the same transfers through the
// interposed functions with the meter counting, and through the C library's own
// functions, in interleaved rounds; the best round of each is compared.
//   a send/recv loop: 64-byte messages back and forth over TCP on 127.0.0.1
//   a bulk transfer: 64 MiB in 64 KiB writes, read by a second thread
// Prints one line per workload and the worst ratio (the target is at most 1.03).
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "infra/CltNetSpd.h"
#include "launch/KivFile.h"
#include "platform/linux/interpose/SocketInterposer.h"
#include "support/LoopbackTcpPair.h"

namespace {

using TSend = ssize_t (*)(int, const void*, size_t, int);
using TRecv = ssize_t (*)(int, void*, size_t, int);

struct TPath {
    TSend send;
    TRecv recv;
};

// The meter's ticks are not part of the path: they never fire here.
struct TIdleTimers : kiv::ITimerFactory {
    struct TIdle : kiv::ITimer {
        void Start(int) override {}
        void Stop() override {}
        bool Active() const override { return false; }
    };
    std::unique_ptr<kiv::ITimer> CreateTimer(std::function<void()>) override { return std::make_unique<TIdle>(); }
    std::chrono::system_clock::time_point Now() const override { return std::chrono::system_clock::now(); }
};

bool ReceiveAll(const TPath& path, int fd, char* buffer, size_t size) {
    while (size > 0) {
        const ssize_t n = path.recv(fd, buffer, size, 0);
        if (n <= 0) return false;
        buffer += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

constexpr int kRoundTrips = 20000;
constexpr size_t kMessage = 64;
constexpr size_t kBulkBytes = size_t{64} << 20;
constexpr size_t kChunk = 64 * 1024;

double PingPong(const TPath& path) {
    kiv::test::LoopbackTcpPair pair;
    char buffer[kMessage] = {};
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRoundTrips; ++i) {
        path.send(pair.a, buffer, kMessage, 0);
        ReceiveAll(path, pair.b, buffer, kMessage);
        path.send(pair.b, buffer, kMessage, 0);
        ReceiveAll(path, pair.a, buffer, kMessage);
    }
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

double Bulk(const TPath& path) {
    kiv::test::LoopbackTcpPair pair;
    const auto start = std::chrono::steady_clock::now();
    std::thread writer([&] {
        std::vector<char> chunk(kChunk, 'x');
        for (size_t sent = 0; sent < kBulkBytes;) {
            const ssize_t n = path.send(pair.a, chunk.data(), std::min(kChunk, kBulkBytes - sent), 0);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
    });
    std::vector<char> buffer(kChunk);
    for (size_t got = 0; got < kBulkBytes;) {
        const ssize_t n = path.recv(pair.b, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    writer.join();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

struct TResult {
    double with = 1e300, without = 1e300;
};

}  // namespace

int main(int argc, char** argv) {
    int rounds = 9;
    if (argc > 1) rounds = std::max(1, std::atoi(argv[1]));
    if (!kiv::TSocketInterposer::Active()) {
        std::printf("the interposed functions are not exported; nothing to measure\n");
        return 1;
    }
    const TPath interposed{&::send, &::recv};
    const TPath direct{reinterpret_cast<TSend>(dlsym(RTLD_NEXT, "send")), reinterpret_cast<TRecv>(dlsym(RTLD_NEXT, "recv"))};

    TIdleTimers timers;
    kiv::TKIVFile record;
    kiv::TTrafficMeterPorts ports{timers,
                                  [] {
                                      return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                       std::chrono::steady_clock::now().time_since_epoch())
                                                                       .count());
                                  },
                                  &kiv::TSocketInterposer::Instance(), nullptr, "/nonexistent/KivClient.ini"};
    kiv::TCltNetSpd meter(ports, record, 0);

    TResult pingPong, bulk;
    for (int round = 0; round < rounds; ++round) {
        // Alternate which goes first, so neither always runs on a warmer machine.
        for (int turn = 0; turn < 2; ++turn) {
            const bool withMeter = (round + turn) % 2 == 0;
            const TPath& path = withMeter ? interposed : direct;
            const double p = PingPong(path);
            const double b = Bulk(path);
            (withMeter ? pingPong.with : pingPong.without) = std::min(withMeter ? pingPong.with : pingPong.without, p);
            (withMeter ? bulk.with : bulk.without) = std::min(withMeter ? bulk.with : bulk.without, b);
        }
    }
    const int64_t expected = int64_t{rounds} * (2 * kRoundTrips * int64_t{kMessage} + int64_t(kBulkBytes));
    std::printf("send/recv loop (%d round trips of %zu bytes): with the meter %.0f us, without %.0f us, ratio %.3f\n",
                kRoundTrips, kMessage, pingPong.with, pingPong.without, pingPong.with / pingPong.without);
    std::printf("bulk transfer (%zu MiB): with the meter %.0f us, without %.0f us, ratio %.3f\n", kBulkBytes >> 20,
                bulk.with, bulk.without, bulk.with / bulk.without);
    std::printf("bytes counted: sent %lld, received %lld (expected %lld each)\n",
                static_cast<long long>(meter.SentTotal()), static_cast<long long>(meter.ReceivedTotal()),
                static_cast<long long>(expected));
    const double worst = std::max(pingPong.with / pingPong.without, bulk.with / bulk.without);
    std::printf("traffic meter overhead: worst ratio %.3f (target at most 1.030): %s\n", worst,
                worst <= 1.03 ? "within" : "OVER");
    return 0;
}
