#include "platform/linux/StatusBlockNames.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/linux/UnixHandOver.h"

namespace kiv {

namespace {

// ":0", ":12.0" or "host:10.0" as a name part: letters, digits and dots stay.
std::string DisplayPart() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return {};
    std::string part = ".";
    for (const char* c = display; *c != '\0' && part.size() < 64; ++c) {
        const bool plain = (*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || *c == '.';
        if (*c == ':' && c == display) continue;
        part += plain ? *c : '_';
    }
    return part;
}

}  // namespace

TStatusBlockNames DefaultStatusBlockNames() {
    const std::string suffix = "." + std::to_string(getuid()) + DisplayPart();
    return {"/SuspendFormHndMapping" + suffix, "/MutexName_SuspendFormHnd" + suffix};
}

std::filesystem::path StatusSocketPath(uint32_t statusWindow) {
    return TUnixHandOverEndpoint::DefaultFolder() / ("status-" + std::to_string(statusWindow) + ".sock");
}

bool StatusWindowAnswers(uint32_t statusWindow) {
    if (statusWindow == 0) return false;
    const std::string path = StatusSocketPath(statusWindow).string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    // Connecting a datagram socket succeeds only while someone is bound there.
    const bool bound = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    return bound;
}

}  // namespace kiv
