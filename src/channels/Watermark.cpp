#include "channels/Watermark.h"

#include "infra/CodePage.h"
#include "launch/CredentialCodec.h"

namespace kiv {

std::string WatermarkText(std::string_view pattern, std::string_view user) {
    std::string text(pattern);
    if (text.size() >= 2 && text.ends_with("%s")) text.replace(text.size() - 2, 2, " " + std::string(user));
    return text;
}

std::string WatermarkDisplayText(const TKIVFile& record) {
    if (record.Watermark.empty()) return {};
    // Pattern and user are texts of the record, in the system code page.
    return SystemToUtf8(WatermarkText(record.Watermark, HexToText(record.UserName.str())));
}

std::vector<TWatermarkOrigin> WatermarkOrigins(int32_t width, int32_t height) {
    std::vector<TWatermarkOrigin> origins;
    for (int32_t y = 100; y < height - 30; y += kWatermarkStep)
        for (int32_t x = 20; x < width - 50; x += kWatermarkStep) origins.push_back({x, y});
    return origins;
}

}  // namespace kiv
