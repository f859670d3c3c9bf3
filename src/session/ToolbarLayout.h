#pragma once
// Where the full-desktop frame's toolbar goes, by display mode: docked at the
// top in the windowed modes, floating above the top edge in full screen (it
// drops down when the pointer touches the edge), hidden otherwise.
#include <cstdint>
#include <string>

#include "ports/FrameView.h"

namespace kiv {

inline constexpr int32_t kToolbarHeight = 30;
// The toolbar's width as designed; its right-hand buttons keep their distance
// to its right edge.
inline constexpr int32_t kToolbarDesignWidth = 465;
// The floating toolbar's width when the window is wide enough.
inline constexpr int32_t kFloatingToolbarWidth = 800;

TToolbarLayout ToolbarLayoutFor(int32_t screenFull, int32_t windowWidth, const std::string& caption);

// The floating toolbar's place for a window of this width: centred, the top
// edge as given.
TRect FloatingToolbarRect(int32_t windowWidth, int32_t top);

}  // namespace kiv
