#include "session/FrameBorder.h"

namespace kiv {

namespace {

constexpr int32_t kZoneReach = 3;  // a zone runs from the edge pixel 3 pixels inwards

}  // namespace

TBorderZone BorderZoneAt(int32_t x, int32_t y, int32_t width, int32_t height) {
    const bool left = x <= kZoneReach;
    const bool right = !left && x >= width - kZoneReach;
    const bool top = y <= kZoneReach;
    const bool bottom = !top && y >= height - kZoneReach;
    if (left && top) return TBorderZone::TopLeft;
    if (right && top) return TBorderZone::TopRight;
    if (left && bottom) return TBorderZone::BottomLeft;
    if (right && bottom) return TBorderZone::BottomRight;
    if (left) return TBorderZone::Left;
    if (right) return TBorderZone::Right;
    if (top) return TBorderZone::Top;
    if (bottom) return TBorderZone::Bottom;
    return TBorderZone::None;
}

TFrameCursor ZoneCursor(TBorderZone zone) {
    switch (zone) {
        case TBorderZone::TopLeft:
        case TBorderZone::BottomRight: return TFrameCursor::SizeNWSE;
        case TBorderZone::TopRight:
        case TBorderZone::BottomLeft: return TFrameCursor::SizeNESW;
        case TBorderZone::Left:
        case TBorderZone::Right: return TFrameCursor::SizeWE;
        case TBorderZone::Top:
        case TBorderZone::Bottom: return TFrameCursor::SizeNS;
        case TBorderZone::None: break;
    }
    return TFrameCursor::Arrow;
}

uint32_t ZoneEdges(TBorderZone zone) {
    switch (zone) {
        case TBorderZone::Left: return kResizeLeft;
        case TBorderZone::Right: return kResizeRight;
        case TBorderZone::Top: return kResizeTop;
        case TBorderZone::Bottom: return kResizeBottom;
        case TBorderZone::TopLeft: return kResizeTop | kResizeLeft;
        case TBorderZone::TopRight: return kResizeTop | kResizeRight;
        case TBorderZone::BottomLeft: return kResizeBottom | kResizeLeft;
        case TBorderZone::BottomRight: return kResizeBottom | kResizeRight;
        case TBorderZone::None: break;
    }
    return 0;
}

}  // namespace kiv
