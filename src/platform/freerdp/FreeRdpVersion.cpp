#include "platform/freerdp/FreeRdpVersion.h"

#include <freerdp/freerdp.h>

namespace kiv {

std::string FreeRdpVersion() {
    const char* version = freerdp_get_version_string();
    return version ? version : "";
}

}  // namespace kiv
