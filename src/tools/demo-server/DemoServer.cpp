#include "tools/demo-server/DemoServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kiv::demo {

TDemoServer::TDemoServer(TServerShared shared) : shared_(std::move(shared)) {}

TDemoServer::~TDemoServer() {
    Reap(true);
    if (listener_ >= 0) close(listener_);
}

int TDemoServer::Listen(int port) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    const int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno));
    }
    if (listen(listener_, 16) != 0) throw std::runtime_error(std::string("listen: ") + std::strerror(errno));
    socklen_t size = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

void TDemoServer::Accept() {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    const int fd = accept4(listener_, reinterpret_cast<sockaddr*>(&address), &size, SOCK_CLOEXEC);
    if (fd < 0) return;
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    const std::string peer = std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
    TSlot& slot = slots_.emplace_back();
    slot.connection = std::make_unique<TConnection>(fd, ++accepted_, peer, shared_);
    slot.thread = std::thread([&slot] {
        slot.connection->Run();
        slot.done = true;
    });
}

void TDemoServer::Reap(bool all) {
    for (auto it = slots_.begin(); it != slots_.end();) {
        if (all) it->connection->Stop();
        if (all || it->done) {
            if (it->thread.joinable()) it->thread.join();
            it = slots_.erase(it);
        } else {
            ++it;
        }
    }
}

void TDemoServer::Run(int stopFd) {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (poll(fds, 2, 1000) < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
        if (fds[0].revents & POLLIN) Accept();
        Reap(false);
    }
    close(listener_);
    listener_ = -1;
    // Stop them all first, so they wind down side by side.
    for (TSlot& slot : slots_) slot.connection->Stop();
    Reap(true);
}

}  // namespace kiv::demo
