#pragma once
// A small bitmap font for the demo windows' titles and texts: 5x7 glyphs in
// 6x9 cells. Upper-case letters, digits and common punctuation; lower case is
// drawn in capitals, anything else as a box.
#include <string_view>

namespace kiv::demo {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kCellWidth = 6;
inline constexpr int kCellHeight = 9;

// Whether the pixel (x, y) of the character's glyph is ink.
bool GlyphPixel(char c, int x, int y);

// Whether the pixel (x, y) of `text`, laid out from (0, 0) at `scale` pixels
// per glyph pixel, is ink.
bool TextPixel(std::string_view text, int scale, int x, int y);

}  // namespace kiv::demo
