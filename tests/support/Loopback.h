#pragma once
// Ports and connections on 127.0.0.1, the only address the tests use.
#include <chrono>
#include <cstdint>

namespace kiv::test {

// A port on 127.0.0.1 that nothing listens on at the moment of asking.
uint16_t UnusedLoopbackPort();
// Peers need a moment to open their port: connects until one is accepted.
bool WaitForListener(uint16_t port, std::chrono::milliseconds limit);
// A connected TCP socket to 127.0.0.1:port, or -1.
int ConnectLoopback(uint16_t port);

// A port on 127.0.0.1 held by a socket that does not listen: connecting is refused.
class TClosedPort {
public:
    TClosedPort();
    ~TClosedPort();
    TClosedPort(const TClosedPort&) = delete;
    TClosedPort& operator=(const TClosedPort&) = delete;
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace kiv::test
