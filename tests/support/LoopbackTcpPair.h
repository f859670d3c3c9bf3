#pragma once
// Two connected TCP sockets on 127.0.0.1, made with the plain socket calls (so
// that a program which interposes them sees every call). Header-only: the
// socket tests and the traffic meter's benchmark share it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kiv::test {

struct LoopbackTcpPair {
    int a = -1, b = -1;
    LoopbackTcpPair() {
        const int listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener, 1);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        a = socket(AF_INET, SOCK_STREAM, 0);
        connect(a, reinterpret_cast<sockaddr*>(&address), sizeof address);
        b = accept4(listener, nullptr, nullptr, 0);
        close(listener);
    }
    ~LoopbackTcpPair() {
        close(a);
        close(b);
    }
    LoopbackTcpPair(const LoopbackTcpPair&) = delete;
    LoopbackTcpPair& operator=(const LoopbackTcpPair&) = delete;
};

}  // namespace kiv::test
