#include "tools/demo-server/DesktopPainter.h"

#include <freerdp/constants.h>
#include <freerdp/settings.h>
#include <freerdp/update.h>

#include <algorithm>

namespace kiv::demo {

namespace {

constexpr int kTileSize = 64;
// Room for the surface command's and fast-path headers beside the pixels.
constexpr std::uint32_t kUpdateOverhead = 64;

}  // namespace

bool TDesktopPainter::Paint(freerdp_peer* peer, TArea area) {
    rdpSettings* settings = peer->settings;
    rdpUpdate* update = peer->update;
    if (!freerdp_settings_get_bool(settings, FreeRDP_SurfaceCommandsEnabled) || !update->SurfaceBits) return false;
    const int desktopWidth = static_cast<int>(freerdp_settings_get_uint32(settings, FreeRDP_DesktopWidth));
    const int desktopHeight = static_cast<int>(freerdp_settings_get_uint32(settings, FreeRDP_DesktopHeight));
    const int left = std::clamp(area.x, 0, desktopWidth);
    const int top = std::clamp(area.y, 0, desktopHeight);
    const int right = std::clamp(area.x + area.width, left, desktopWidth);
    const int bottom = std::clamp(area.y + area.height, top, desktopHeight);
    if (left == right || top == bottom) return true;

    // A client that takes only small updates gets flatter tiles.
    int tileHeight = kTileSize;
    const std::uint32_t largest = freerdp_settings_get_uint32(settings, FreeRDP_MultifragMaxRequestSize);
    while (tileHeight > 1 && static_cast<std::uint32_t>(kTileSize * tileHeight * 4) + kUpdateOverhead > largest) {
        tileHeight /= 2;
    }

    const bool markers =
        freerdp_settings_get_bool(settings, FreeRDP_SurfaceFrameMarkerEnabled) && update->SurfaceFrameMarker;
    SURFACE_FRAME_MARKER marker{};
    marker.frameId = frameId_++;
    if (markers) {
        marker.frameAction = SURFACECMD_FRAMEACTION_BEGIN;
        if (!update->SurfaceFrameMarker(update->context, &marker)) return false;
    }
    // Tiles on the desktop's 64-pixel raster, so repaints match first paints.
    for (int y = top - top % tileHeight; y < bottom; y += tileHeight) {
        for (int x = left - left % kTileSize; x < right; x += kTileSize) {
            const int width = std::min(kTileSize, desktopWidth - x);
            const int height = std::min(tileHeight, desktopHeight - y);
            TBytes pixels = desktop_.BottomUpTile(x, y, width, height);
            SURFACE_BITS_COMMAND command{};
            command.cmdType = CMDTYPE_SET_SURFACE_BITS;
            command.destLeft = static_cast<UINT32>(x);
            command.destTop = static_cast<UINT32>(y);
            command.destRight = static_cast<UINT32>(x + width);
            command.destBottom = static_cast<UINT32>(y + height);
            command.bmp.bpp = 32;
            command.bmp.codecID = RDP_CODEC_ID_NONE;
            command.bmp.width = static_cast<UINT16>(width);
            command.bmp.height = static_cast<UINT16>(height);
            command.bmp.bitmapDataLength = static_cast<UINT32>(pixels.size());
            command.bmp.bitmapData = pixels.data();
            command.skipCompression = TRUE;
            if (!update->SurfaceBits(update->context, &command)) return false;
        }
    }
    if (markers) {
        marker.frameAction = SURFACECMD_FRAMEACTION_END;
        if (!update->SurfaceFrameMarker(update->context, &marker)) return false;
    }
    return true;
}

}  // namespace kiv::demo
