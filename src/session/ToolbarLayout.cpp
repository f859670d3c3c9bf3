#include "session/ToolbarLayout.h"

namespace kiv {

TRect FloatingToolbarRect(int32_t windowWidth, int32_t top) {
    const int32_t width = windowWidth > kFloatingToolbarWidth - 1 ? kFloatingToolbarWidth : windowWidth;
    return TRect{(windowWidth - width) / 2, top, width, kToolbarHeight};
}

TToolbarLayout ToolbarLayoutFor(int32_t screenFull, int32_t windowWidth, const std::string& caption) {
    TToolbarLayout layout;
    layout.caption = caption;
    switch (screenFull) {
        case 0:
        case 2:
        case 4:
            layout.dock = TToolbarDock::Top;
            layout.rect = TRect{0, 0, windowWidth, kToolbarHeight};
            layout.desktopMargin = 1;
            layout.borderPenWidth = 1;
            break;
        case 1:
            // Hidden above the window until the pointer reaches the top edge.
            layout.dock = TToolbarDock::Floating;
            layout.rect = FloatingToolbarRect(windowWidth, -kToolbarHeight);
            layout.panelBorders = true;
            break;
        default:
            layout.dock = TToolbarDock::Hidden;
            break;
    }
    return layout;
}

}  // namespace kiv
