#include "tools/demo-server/DemoFont.h"

#include <array>
#include <cctype>

namespace kiv::demo {

namespace {

struct TGlyph {
    char c;
    const char* rows;  // seven rows of five, '#' is ink, rows separated by '|'
};

constexpr std::array<TGlyph, 56> kGlyphs{{
    {' ', "     |     |     |     |     |     |     "},
    {'A', " ### |#   #|#   #|#####|#   #|#   #|#   #"},
    {'B', "#### |#   #|#   #|#### |#   #|#   #|#### "},
    {'C', " ####|#    |#    |#    |#    |#    | ####"},
    {'D', "#### |#   #|#   #|#   #|#   #|#   #|#### "},
    {'E', "#####|#    |#    |#### |#    |#    |#####"},
    {'F', "#####|#    |#    |#### |#    |#    |#    "},
    {'G', " ####|#    |#    |#  ##|#   #|#   #| ### "},
    {'H', "#   #|#   #|#   #|#####|#   #|#   #|#   #"},
    {'I', " ### |  #  |  #  |  #  |  #  |  #  | ### "},
    {'J', "  ###|   # |   # |   # |   # |#  # | ##  "},
    {'K', "#   #|#  # |# #  |##   |# #  |#  # |#   #"},
    {'L', "#    |#    |#    |#    |#    |#    |#####"},
    {'M', "#   #|## ##|# # #|# # #|#   #|#   #|#   #"},
    {'N', "#   #|##  #|# # #|#  ##|#   #|#   #|#   #"},
    {'O', " ### |#   #|#   #|#   #|#   #|#   #| ### "},
    {'P', "#### |#   #|#   #|#### |#    |#    |#    "},
    {'Q', " ### |#   #|#   #|#   #|# # #|#  # | ## #"},
    {'R', "#### |#   #|#   #|#### |# #  |#  # |#   #"},
    {'S', " ####|#    |#    | ### |    #|    #|#### "},
    {'T', "#####|  #  |  #  |  #  |  #  |  #  |  #  "},
    {'U', "#   #|#   #|#   #|#   #|#   #|#   #| ### "},
    {'V', "#   #|#   #|#   #|#   #|#   #| # # |  #  "},
    {'W', "#   #|#   #|#   #|# # #|# # #|## ##|#   #"},
    {'X', "#   #|#   #| # # |  #  | # # |#   #|#   #"},
    {'Y', "#   #|#   #| # # |  #  |  #  |  #  |  #  "},
    {'Z', "#####|    #|   # |  #  | #   |#    |#####"},
    {'0', " ### |#   #|#  ##|# # #|##  #|#   #| ### "},
    {'1', "  #  | ##  |  #  |  #  |  #  |  #  | ### "},
    {'2', " ### |#   #|    #|   # |  #  | #   |#####"},
    {'3', "#### |    #|    #| ### |    #|    #|#### "},
    {'4', "   # |  ## | # # |#  # |#####|   # |   # "},
    {'5', "#####|#    |#### |    #|    #|#   #| ### "},
    {'6', " ### |#    |#    |#### |#   #|#   #| ### "},
    {'7', "#####|    #|   # |  #  |  #  |  #  |  #  "},
    {'8', " ### |#   #|#   #| ### |#   #|#   #| ### "},
    {'9', " ### |#   #|#   #| ####|    #|    #| ### "},
    {'.', "     |     |     |     |     | ##  | ##  "},
    {',', "     |     |     |     | ##  |  #  | #   "},
    {':', "     | ##  | ##  |     | ##  | ##  |     "},
    {'-', "     |     |     |#####|     |     |     "},
    {'_', "     |     |     |     |     |     |#####"},
    {'(', "   # |  #  | #   | #   | #   |  #  |   # "},
    {')', " #   |  #  |   # |   # |   # |  #  | #   "},
    {'/', "    #|    #|   # |  #  | #   |#    |#    "},
    {'\\', "#    |#    | #   |  #  |   # |    #|    #"},
    {'!', "  #  |  #  |  #  |  #  |  #  |     |  #  "},
    {'?', " ### |#   #|    #|   # |  #  |     |  #  "},
    {'=', "     |     |#####|     |#####|     |     "},
    {'+', "     |  #  |  #  |#####|  #  |  #  |     "},
    {'\'', "  #  |  #  | #   |     |     |     |     "},
    {'"', " # # | # # |     |     |     |     |     "},
    {'#', " # # |#####| # # | # # | # # |#####| # # "},
    {'<', "   # |  #  | #   |#    | #   |  #  |   # "},
    {'>', " #   |  #  |   # |    #|   # |  #  | #   "},
    {'|', "  #  |  #  |  #  |  #  |  #  |  #  |  #  "},
}};

const TGlyph* Find(char c) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const TGlyph& glyph : kGlyphs)
        if (glyph.c == upper) return &glyph;
    return nullptr;
}

}  // namespace

bool GlyphPixel(char c, int x, int y) {
    if (x < 0 || y < 0 || x >= kGlyphWidth || y >= kGlyphHeight) return false;
    const TGlyph* glyph = Find(c);
    // An unknown character is an outlined box.
    if (!glyph) return x == 0 || y == 0 || x == kGlyphWidth - 1 || y == kGlyphHeight - 1;
    return glyph->rows[y * (kGlyphWidth + 1) + x] == '#';
}

bool TextPixel(std::string_view text, int scale, int x, int y) {
    if (scale < 1 || x < 0 || y < 0) return false;
    const int gx = x / scale;
    const int gy = y / scale;
    const auto index = static_cast<std::size_t>(gx / kCellWidth);
    if (index >= text.size()) return false;
    return GlyphPixel(text[index], gx % kCellWidth, gy);
}

}  // namespace kiv::demo
