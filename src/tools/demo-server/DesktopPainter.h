#pragma once
// Sends the server desktop (the demo pattern with the shell's windows) to a
// FreeRDP peer: one frame of uncompressed 32-bpp surface bits tiles (64x64,
// smaller at the right and bottom edges).
#include <freerdp/peer.h>

#include <cstdint>

#include "tools/demo-server/ServerDesktop.h"

namespace kiv::demo {

struct TArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class TDesktopPainter {
public:
    explicit TDesktopPainter(const TServerDesktop& desktop) : desktop_(desktop) {}

    // Paints `area`, clipped to the desktop of `peer`'s settings. False when
    // the client cannot take surface bits or a send failed.
    bool Paint(freerdp_peer* peer, TArea area);

private:
    const TServerDesktop& desktop_;
    std::uint32_t frameId_ = 0;
};

}  // namespace kiv::demo
