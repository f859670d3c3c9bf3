#include "tools/demo-server/Connection.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <winpr/handle.h>
#include <winpr/synch.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <thread>

#include "tools/demo-server/ConnectionRequest.h"

namespace kiv::demo {

TConnection::TConnection(int clientFd, int number, std::string peerAddress, const TServerShared& shared)
    : client_(clientFd),
      number_(number),
      peerAddress_(std::move(peerAddress)),
      shared_(shared),
      engine_(shared.scenario, shared.once, number),
      stopFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

TConnection::~TConnection() {
    if (client_ >= 0) close(client_);
    if (stopFd_ >= 0) close(stopFd_);
    if (stopEvent_) CloseHandle(stopEvent_);
}

TJson TConnection::Line(const char* event) const {
    TJson line;
    line["event"] = event;
    line["connection"] = number_;
    return line;
}

void TConnection::Stop() {
    stopped_ = true;
    const std::uint64_t one = 1;
    if (write(stopFd_, &one, sizeof one) < 0) {
        // stopped_ is seen at the next wake-up.
    }
    SetEvent(stopEvent_);
    std::lock_guard lock(relayMutex_);
    if (relay_) relay_->Stop();
}

TConnection::TWait TConnection::WaitFor(std::int64_t untilMs, bool watchClient) {
    for (;;) {
        if (stopped_) return TWait::Stopped;
        const std::int64_t left = untilMs - shared_.clock->NowMs();
        if (left <= 0) return TWait::Due;
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {watchClient ? client_ : -1, POLLIN, 0}};
        const int ready = poll(fds, 2, static_cast<int>(std::min<std::int64_t>(left, 60000)));
        if (ready < 0 && errno != EINTR) return TWait::Stopped;
        if (fds[0].revents) return TWait::Stopped;
        if (fds[1].revents) return TWait::Readable;
    }
}

void TConnection::Drop() {
    shutdown(client_, SHUT_RDWR);
    close(client_);
    client_ = -1;
}

TSessionEnd TConnection::Stall() {
    std::uint8_t ignored[4096];
    for (;;) {
        if (WaitFor(shared_.clock->NowMs() + 60000, true) == TWait::Stopped) return TSessionEnd::Stop;
        const ssize_t n = recv(client_, ignored, sizeof ignored, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) return TSessionEnd::Client;
    }
}

// Rules after accept run before the server answers anything; their delays
// hold the answer back.
std::optional<TSessionEnd> TConnection::RunAcceptRules() {
    engine_.Fire(TTriggerKind::Accept, shared_.clock->NowMs());
    while (const auto due = engine_.NextDueMs()) {
        if (WaitFor(*due, false) == TWait::Stopped) return TSessionEnd::Stop;
        for (const TDueAction& action : engine_.TakeDue(shared_.clock->NowMs())) {
            if (action.kind == TActionKind::Drop) {
                Drop();
                return TSessionEnd::Drop;
            }
            if (action.kind == TActionKind::Stall) return Stall();
        }
    }
    return std::nullopt;
}

std::optional<TBytes> TConnection::ReadFirstPdu(TSessionEnd& end) {
    TBytes pdu;
    std::size_t wanted = 4;
    bool sized = false;
    // A client that connects and says nothing is given up at the nearer limit.
    std::int64_t deadline = INT64_MAX;
    for (const int limit : {shared_.handshakeTimeoutMs, shared_.idleTimeoutMs})
        if (limit > 0) deadline = std::min(deadline, acceptedMs_ + limit);
    while (pdu.size() < wanted) {
        const TWait wait = WaitFor(deadline, true);
        if (wait != TWait::Readable) {
            end = wait == TWait::Stopped ? TSessionEnd::Stop : TSessionEnd::Timeout;
            return std::nullopt;
        }
        std::uint8_t chunk[4096];
        const ssize_t n = recv(client_, chunk, std::min(sizeof chunk, wanted - pdu.size()), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            end = TSessionEnd::Client;
            return std::nullopt;
        }
        pdu.insert(pdu.end(), chunk, chunk + n);
        if (!sized && pdu.size() >= 4) {
            sized = true;
            const auto length = TpktLength(pdu.data(), pdu.size());
            // Not a TPKT: FreeRDP gets it as it came and answers as it sees fit.
            if (!length) return pdu;
            wanted = *length;
        }
    }
    return pdu;
}

TSessionEnd TConnection::Serve(const TBytes& firstPdu) {
    TConnectionRequest request = SplitConnectionRequest(firstPdu);
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return TSessionEnd::Error;
    // What is left of the handshake's time goes to the relay, which sees every byte.
    TRelayLimits limits{0, shared_.idleTimeoutMs};
    if (shared_.handshakeTimeoutMs > 0)
        limits.handshakeMs = static_cast<int>(
            std::max<std::int64_t>(1, acceptedMs_ + shared_.handshakeTimeoutMs - shared_.clock->NowMs()));
    TSocketRelay relay(client_, pair[0], std::move(request.forwarded), limits);
    client_ = -1;  // the relay owns it now
    {
        std::lock_guard lock(relayMutex_);
        relay_ = &relay;
        if (stopped_) relay.Stop();
    }
    std::thread relayThread([&relay] { relay.Run(); });
    TSessionEnd end = TSessionEnd::Error;
    {
        TRdpSession session(number_, shared_.peer, *shared_.transcript, *shared_.clock, engine_, *shared_.shellSessions,
                            TClientHello{std::move(request.routingToken), std::move(request.cookie)},
                            [&relay] { relay.Drop(); }, [&relay] { relay.Settled(); });
        end = session.Run(pair[1], stopEvent_);
        if (end == TSessionEnd::Stop) relay.Stop();
    }
    // FreeRDP has closed its end: the relay passes on the rest and finishes.
    relayThread.join();
    // A stop or a limit that broke FreeRDP's reading looks like the client going.
    if (stopped_) end = TSessionEnd::Stop;
    else if (relay.TimedOut()) end = TSessionEnd::Timeout;
    std::lock_guard lock(relayMutex_);
    relay_ = nullptr;
    return end;
}

void TConnection::Run() {
    acceptedMs_ = shared_.clock->NowMs();
    TJson connect = Line("connect");
    connect["peer"] = peerAddress_;
    shared_.transcript->Write(std::move(connect));

    std::optional<TSessionEnd> end = RunAcceptRules();
    if (!end) {
        TSessionEnd readEnd = TSessionEnd::Error;
        if (const auto pdu = ReadFirstPdu(readEnd)) {
            end = Serve(*pdu);
        } else {
            end = readEnd;
        }
    }
    if (client_ >= 0) Drop();
    TJson line = Line("disconnect");
    line["reason"] = std::string(SessionEndName(*end));
    shared_.transcript->Write(std::move(line));
}

}  // namespace kiv::demo
