#include "platform/linux/StatusBlockNames.h"

#include <unistd.h>

#include <cstdlib>

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

}  // namespace kiv
