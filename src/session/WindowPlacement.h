#pragma once
// Where the session window goes, by display mode and monitor mode.
#include <vector>

#include "launch/KivFile.h"
#include "ports/RemoteDisplay.h"  // TRect

namespace kiv {

struct TMonitor {
    TRect geometry;  // the whole screen of the monitor
    TRect workArea;  // less the panels
};

struct TPlacement {
    TRect rect;
    bool maximized = false;
};

// monitors[0] is the primary monitor. Width and Height of 0 become 800 x 600 in
// the record (windowed modes).
TPlacement PlaceWindow(TKIVFile& record, int monitorMode, const std::vector<TMonitor>& monitors);
// Centres a window of the given size in a monitor's work area; an index outside
// the list leaves the rectangle as it is.
TRect CenterOnMonitor(const TRect& window, int index, const std::vector<TMonitor>& monitors);

// The monitor mode from "KivClient.ini" [monitor] defaultmonitor and the monitor count.
int NormaliseMonitorMode(int configured, int monitorCount);
// [monitor] hotkey: outside 0..26 it is 6.
int NormaliseHotKeyIndex(int configured);

}  // namespace kiv
