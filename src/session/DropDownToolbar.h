#pragma once
// The full-screen toolbar drops down while the pointer touches the window's top
// edge above it, and goes up again once the pointer has left it (unless it is
// pinned, or its device menu is open).
#include <cstdint>

#include "ports/RemoteDisplay.h"  // TRect

namespace kiv {

inline constexpr int32_t kDropDownStripHeight = 3;

enum class TDropDownAction { None, Show, Hide };

struct TDropDownState {
    TRect toolbar;  // in the window; top below 0 means hidden
    bool pinned = false;
    bool menuOpen = false;
};

// What the toolbar does when the pointer is at (x, y) in the window.
TDropDownAction DropDownAction(const TDropDownState& state, int32_t x, int32_t y);

}  // namespace kiv
