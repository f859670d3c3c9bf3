#include "support/Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace kiv::test {

namespace {

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A TCP socket bound to 127.0.0.1 on a port the system picks; the port, 0 on failure.
uint16_t BindLoopback(int& fd) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

}  // namespace

uint16_t UnusedLoopbackPort() {
    int fd = -1;
    const uint16_t port = BindLoopback(fd);
    if (fd >= 0) ::close(fd);
    return port;
}

int ConnectLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const sockaddr_in address = Loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool WaitForListener(uint16_t port, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = ConnectLoopback(port);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        // A process starting up gives no signal of readiness but its open port.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TClosedPort::TClosedPort() { port_ = BindLoopback(fd_); }

TClosedPort::~TClosedPort() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace kiv::test
