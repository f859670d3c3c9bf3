// What the traffic meter costs the socket path: the same transfers through the
// interposed functions with the meter counting, and through the C library's own
// functions, in many short rounds, each running both paths back to back; the
// process's CPU time (what the wrappers add) is compared within each round, and
// the median of the rounds' ratios is the figure (robust to a shared machine's
// bursts of load).
//   a send/recv loop: 64-byte messages back and forth over TCP on 127.0.0.1
//   a bulk transfer: 16 MiB in 64 KiB writes, read by a second thread
// Prints one line per workload and the worst ratio (the target is at most 1.03).
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
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

constexpr int kRoundTrips = 5000;
constexpr size_t kMessage = 64;
constexpr size_t kBulkBytes = size_t{16} << 20;
constexpr size_t kChunk = 64 * 1024;

// CPU time of the whole process (both threads of the bulk transfer), in microseconds.
double CpuMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

double PingPong(const TPath& path) {
    kiv::test::LoopbackTcpPair pair;
    char buffer[kMessage] = {};
    const double start = CpuMicroseconds();
    for (int i = 0; i < kRoundTrips; ++i) {
        path.send(pair.a, buffer, kMessage, 0);
        ReceiveAll(path, pair.b, buffer, kMessage);
        path.send(pair.b, buffer, kMessage, 0);
        ReceiveAll(path, pair.a, buffer, kMessage);
    }
    return CpuMicroseconds() - start;
}

double Bulk(const TPath& path) {
    kiv::test::LoopbackTcpPair pair;
    const double start = CpuMicroseconds();
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
    return CpuMicroseconds() - start;
}

struct TResult {
    double with = 1e300, without = 1e300;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 25;
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

    // A round of each to warm caches and the loopback path; not measured.
    PingPong(interposed), PingPong(direct), Bulk(interposed), Bulk(direct);
    const int64_t warmUp = 2 * kRoundTrips * int64_t{kMessage} + int64_t(kBulkBytes);
    // Each round runs both paths back to back (which goes first alternates), so
    // a round's ratio compares two runs that saw the same load; the median of
    // the rounds' ratios is the figure.
    std::vector<double> pingPongRatios, bulkRatios;
    TResult pingPongBest, bulkBest;
    for (int round = 0; round < rounds; ++round) {
        TResult p, b;
        for (int turn = 0; turn < 2; ++turn) {
            const bool withMeter = (round + turn) % 2 == 0;
            const TPath& path = withMeter ? interposed : direct;
            (withMeter ? p.with : p.without) = PingPong(path);
            (withMeter ? b.with : b.without) = Bulk(path);
        }
        pingPongRatios.push_back(p.with / p.without);
        bulkRatios.push_back(b.with / b.without);
        pingPongBest = {std::min(pingPongBest.with, p.with), std::min(pingPongBest.without, p.without)};
        bulkBest = {std::min(bulkBest.with, b.with), std::min(bulkBest.without, b.without)};
    }
    const int64_t expected = warmUp + int64_t{rounds} * (2 * kRoundTrips * int64_t{kMessage} + int64_t(kBulkBytes));
    const double pingPongRatio = Median(pingPongRatios), bulkRatio = Median(bulkRatios);
    std::printf("send/recv loop (%d round trips of %zu bytes): best round with the meter %.0f us CPU, without %.0f us; "
                "median ratio %.3f\n",
                kRoundTrips, kMessage, pingPongBest.with, pingPongBest.without, pingPongRatio);
    std::printf("bulk transfer (%zu MiB): best round with the meter %.0f us CPU, without %.0f us; median ratio %.3f\n",
                kBulkBytes >> 20, bulkBest.with, bulkBest.without, bulkRatio);
    std::printf("bytes counted: sent %lld, received %lld (expected %lld each)\n",
                static_cast<long long>(meter.SentTotal()), static_cast<long long>(meter.ReceivedTotal()),
                static_cast<long long>(expected));
    const double worst = std::max(pingPongRatio, bulkRatio);
    std::printf("traffic meter overhead: worst ratio %.3f (target at most 1.030): %s\n", worst,
                worst <= 1.03 ? "within" : "OVER");
    return 0;
}
