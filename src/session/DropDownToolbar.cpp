#include "session/DropDownToolbar.h"

namespace kiv {

namespace {

bool Inside(int32_t x, int32_t y, int32_t left, int32_t top, int32_t width, int32_t height) {
    return x >= left && x < left + width && y >= top && y < top + height;
}

}  // namespace

TDropDownAction DropDownAction(const TDropDownState& s, int32_t x, int32_t y) {
    if (s.pinned) return TDropDownAction::Show;
    const TRect& bar = s.toolbar;
    if (bar.y < 0) {
        return Inside(x, y, bar.x, 0, bar.width, kDropDownStripHeight) ? TDropDownAction::Show : TDropDownAction::None;
    }
    if (!Inside(x, y, bar.x, bar.y, bar.width, bar.height) && !s.menuOpen) return TDropDownAction::Hide;
    return TDropDownAction::None;
}

}  // namespace kiv
