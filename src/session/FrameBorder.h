#pragma once
// The resize border of the full-desktop frame: four-pixel zones along the
// desktop panel's edges, each with its cursor and the edges the window manager
// moves when the zone is dragged.
#include <cstdint>

#include "ports/FrameView.h"

namespace kiv {

enum class TBorderZone { None, Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

// x, y in the panel; width, height the panel's size.
TBorderZone BorderZoneAt(int32_t x, int32_t y, int32_t width, int32_t height);
TFrameCursor ZoneCursor(TBorderZone zone);
// TResizeEdge bits; 0 for no zone.
uint32_t ZoneEdges(TBorderZone zone);

}  // namespace kiv
