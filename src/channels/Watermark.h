#pragma once
// The watermark drawn over the session: the connection's pattern with the
// portal user in it, light grey, tilted, tiled over the view.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "launch/KivFile.h"

namespace kiv {

inline constexpr uint32_t kWatermarkColor = 0xD8D8D8;
inline constexpr int kWatermarkAngleDegrees = 18;  // counter-clockwise
inline constexpr int kWatermarkPointSize = 12;
inline constexpr int kWatermarkStep = 300;

// A pattern that ends with "%s" has those two characters replaced by one blank
// and the user; any other pattern stays as it is.
std::string WatermarkText(std::string_view pattern, std::string_view user);
// The text of the connection (empty: no watermark), in UTF-8 for the screen.
std::string WatermarkDisplayText(const TKIVFile& record);

struct TWatermarkOrigin {
    int32_t x = 0, y = 0;
};
// Where the text starts, in a window of this size: x = 20, 320, ... below the
// width less 50, y = 100, 400, ... below the height less 30.
std::vector<TWatermarkOrigin> WatermarkOrigins(int32_t width, int32_t height);

}  // namespace kiv
