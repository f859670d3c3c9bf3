#include "session/WindowPlacement.h"

#include <algorithm>

namespace kiv {

namespace {

TRect Primary(const std::vector<TMonitor>& monitors, bool work) {
    if (monitors.empty()) return TRect{0, 0, 800, 600};
    return work ? monitors.front().workArea : monitors.front().geometry;
}

// Clamped to the work area, centred in it (origin at 0, as the window's own coordinates are).
TRect CentredWindow(int32_t width, int32_t height, const TRect& work) {
    if (work.width <= width) width = work.width;
    if (work.height <= height) height = work.height;
    return TRect{(work.width - width) / 2, (work.height - height) / 2, width, height};
}

}  // namespace

TRect CenterOnMonitor(const TRect& window, int index, const std::vector<TMonitor>& monitors) {
    if (index < 0 || index >= static_cast<int>(monitors.size())) return window;
    const TRect& work = monitors[static_cast<std::size_t>(index)].workArea;
    return TRect{work.x + (work.width - window.width) / 2, work.y + (work.height - window.height) / 2, window.width,
                 window.height};
}

TPlacement PlaceWindow(TKIVFile& r, int monitorMode, const std::vector<TMonitor>& monitors) {
    const TRect work = Primary(monitors, true);
    switch (r.ScreenFull) {
        case 0:
        case 4:
            if (r.Width == 0) r.Width = 800;
            if (r.Height == 0) r.Height = 600;
            return {CentredWindow(r.Width, r.Height, work), false};
        case 1:
            if (r.AppTypeMode == 1) {
                const TRect screen = Primary(monitors, false);
                return {TRect{0, 0, screen.width, screen.height}, true};
            }
            return {work, false};
        case 2: {
            // Without a proportion the window takes the windowed modes' default size.
            if (r.Proportion <= 0) {
                if (r.Width <= 0) r.Width = 800;
                if (r.Height <= 0) r.Height = 600;
            }
            const TRect size = r.Proportion > 0 ? CentredWindow(work.width * r.Proportion / 100,
                                                               work.height * r.Proportion / 100, work)
                                                : CentredWindow(r.Width, r.Height, work);
            return {TRect{work.x, work.y, size.width, size.height}, false};
        }
        default:
            break;
    }
    if (monitorMode == 3 && monitors.size() >= 2) {
        const std::size_t pick = monitors[0].geometry.width > monitors[1].geometry.width ? 1 : 0;
        return {monitors[pick].workArea, false};
    }
    if ((monitorMode == 1 || monitorMode == 2) && static_cast<std::size_t>(monitorMode - 1) < monitors.size()) {
        const TRect area = monitors[static_cast<std::size_t>(monitorMode - 1)].workArea;
        return {CenterOnMonitor(area, monitorMode - 1, monitors), false};
    }
    return {work, false};
}

int NormaliseMonitorMode(int m, int n) {
    if (m == -1) m = n == 2 ? 3 : 0;
    if (m == 0 && n == 2) m = 3;
    if (m > 0 && n == 1) m = 0;
    return m;
}

int NormaliseHotKeyIndex(int configured) { return configured > 26 || configured < 0 ? 6 : configured; }

}  // namespace kiv
