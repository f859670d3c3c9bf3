#include "proxy/ProxyFreePort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kiv {

TFreePort FindFreePort(int32_t first) {
    if (first < 1) first = 1;
    for (int32_t port = first; port <= 65535; ++port) {
        const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (probe < 0) return TFreePort{0, std::string("no socket can be created: ") + std::strerror(errno)};
        // The listener sets the same option, so a port left in TIME_WAIT by an
        // earlier tunnel counts as free, as it is for the listener.
        const int on = 1;
        ::setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<uint16_t>(port));
        const bool bound = ::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(probe);
        if (bound) return TFreePort{port, {}};
    }
    return TFreePort{0, "no free port from " + std::to_string(first) + " to 65535"};
}

}  // namespace kiv
