#include "desktop/TrayTooltip.h"

namespace kiv {

std::string TrayTooltip(std::string_view hint) {
    hint = hint.substr(0, hint.find('|'));
    std::size_t characters = 0;
    for (std::size_t i = 0; i < hint.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(hint[i]) & 0xC0) == 0x80;
        if (!continuation && characters++ == kTrayTooltipChars) return std::string(hint.substr(0, i));
    }
    return std::string(hint);
}

}  // namespace kiv
