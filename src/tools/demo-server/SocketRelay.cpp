#include "tools/demo-server/SocketRelay.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <optional>

namespace kiv::demo {

namespace {

constexpr std::size_t kBufferLimit = 1 << 20;
constexpr std::size_t kChunk = 64 * 1024;
// After the server side closed, how long the client may take to close its end.
constexpr int kLingerMs = 2000;
// How long a drop may spend passing on what was already written.
constexpr int kDropFlushMs = 1000;

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Reads what is there into `buffer`; false at the end of the stream or an error.
bool ReadInto(int fd, TBytes& buffer) {
    std::uint8_t chunk[kChunk];
    for (;;) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer.insert(buffer.end(), chunk, chunk + n);
            if (buffer.size() >= kBufferLimit) return true;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

// Writes what it can of `buffer`; false on an error.
bool WriteFrom(int fd, TBytes& buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = send(fd, buffer.data() + done, buffer.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(done));
    return true;
}

}  // namespace

TSocketRelay::TSocketRelay(int clientFd, int peerFd, TBytes firstForPeer, TRelayLimits limits)
    : client_(clientFd),
      peer_(peerFd),
      wake_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      limits_(limits),
      toPeer_(std::move(firstForPeer)) {
    SetNonBlocking(client_);
    SetNonBlocking(peer_);
}

TSocketRelay::~TSocketRelay() {
    close(client_);
    close(peer_);
    if (wake_ >= 0) close(wake_);
}

void TSocketRelay::Request(int what) {
    int expected = 0;
    // A stop overrides a drop in progress; nothing overrides a stop.
    while (!request_.compare_exchange_weak(expected, what)) {
        if (expected >= what) return;
    }
    const std::uint64_t one = 1;
    if (write(wake_, &one, sizeof one) < 0) {
        // The relay sees the request at its next wake-up anyway.
    }
}

void TSocketRelay::FinishDrop() {
    ReadInto(peer_, toClient_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDropFlushMs);
    while (!toClient_.empty() && std::chrono::steady_clock::now() < deadline) {
        if (!WriteFrom(client_, toClient_)) break;
        if (toClient_.empty()) break;
        pollfd out{client_, POLLOUT, 0};
        poll(&out, 1, 50);
    }
    shutdown(client_, SHUT_RDWR);
}

void TSocketRelay::Run() {
    Relay();
    shutdown(peer_, SHUT_RDWR);
    shutdown(client_, SHUT_RDWR);
}

void TSocketRelay::Relay() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point handshakeUntil = Clock::now() + std::chrono::milliseconds(limits_.handshakeMs);
    Clock::time_point lastActivity = Clock::now();
    // The nearest limit, if any applies now.
    const auto limit = [&]() -> std::optional<Clock::time_point> {
        std::optional<Clock::time_point> at;
        if (limits_.handshakeMs > 0 && !settled_.load()) at = handshakeUntil;
        if (limits_.idleMs > 0) {
            const Clock::time_point idleUntil = lastActivity + std::chrono::milliseconds(limits_.idleMs);
            if (!at || idleUntil < *at) at = idleUntil;
        }
        return at;
    };
    bool clientReading = true;
    bool peerReading = true;
    bool peerShut = false;    // we told the peer side the client is gone
    bool clientShut = false;  // we told the client the server side is gone
    bool peerGone = false;    // the server side refused a write
    std::chrono::steady_clock::time_point lingerUntil{};
    for (;;) {
        if (request_.load() == kStop) return;
        if (request_.load() == kDrop) {
            FinishDrop();
            return;
        }
        if (!clientReading && toPeer_.empty() && !peerShut && !peerGone) {
            shutdown(peer_, SHUT_WR);
            peerShut = true;
        }
        if (!peerReading && toClient_.empty() && !clientShut) {
            shutdown(client_, SHUT_WR);
            clientShut = true;
            lingerUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLingerMs);
        }
        if (!clientReading && !peerReading && toPeer_.empty() && toClient_.empty()) return;

        pollfd fds[3] = {{client_, 0, 0}, {peer_, 0, 0}, {wake_, POLLIN, 0}};
        if (clientReading && toPeer_.size() < kBufferLimit) fds[0].events |= POLLIN;
        if (!toClient_.empty()) fds[0].events |= POLLOUT;
        if (peerReading && toClient_.size() < kBufferLimit && !clientShut) fds[1].events |= POLLIN;
        if (!toPeer_.empty()) fds[1].events |= POLLOUT;
        // A side with nothing to wait for stays out of the poll: a hung-up
        // socket would otherwise report POLLHUP in a busy loop.
        if (fds[0].events == 0) fds[0].fd = -1;
        if (fds[1].events == 0) fds[1].fd = -1;
        int timeout = -1;
        if (clientShut) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(lingerUntil - std::chrono::steady_clock::now());
            if (left.count() <= 0) return;
            timeout = static_cast<int>(left.count());
        }
        if (const auto until = limit()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
            if (left <= 0) {
                timedOut_ = true;
                return;
            }
            timeout = timeout < 0 ? static_cast<int>(left) : std::min(timeout, static_cast<int>(left));
        }
        if (poll(fds, 3, timeout) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[2].revents & POLLIN) {
            std::uint64_t count = 0;
            if (read(wake_, &count, sizeof count) < 0) {
                // Only the request matters, and it is in request_.
            }
            continue;
        }
        if ((fds[0].revents | fds[1].revents) & (POLLIN | POLLOUT)) lastActivity = Clock::now();
        if (fds[0].fd >= 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) && clientReading) {
            if (clientShut) {
                // The server side is gone; read only to see the client close.
                TBytes ignored;
                if (!ReadInto(client_, ignored)) return;
            } else if (!ReadInto(client_, toPeer_)) {
                clientReading = false;
                if (fds[0].revents & POLLERR) toClient_.clear();
            }
            if (peerGone) toPeer_.clear();
        }
        if (fds[1].fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && peerReading && !clientShut) {
            if (!ReadInto(peer_, toClient_)) peerReading = false;
        }
        if (!toClient_.empty() && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
            if (!WriteFrom(client_, toClient_)) return;
        }
        if (!toPeer_.empty() && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            if (!WriteFrom(peer_, toPeer_)) {
                // The server side is gone: what the client still sends is lost, but what the
                // server wrote last (error info, ultimatum) must still reach the client.
                toPeer_.clear();
                peerGone = true;
            }
        }
    }
}

}  // namespace kiv::demo
