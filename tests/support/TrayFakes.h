#pragma once
// A recording stand-in for the local tray icons.
#include <map>
#include <string>
#include <vector>

#include "ports/TrayIcons.h"

namespace kiv::test {

struct FakeTrayIcons : ITrayIcons {
    struct Icon {
        std::vector<TIconImage> images;  // empty: not shown yet
        std::string tooltip;
    };
    void SetEventSink(ITrayIconEvents* s) override { sink = s; }
    TTrayIconKey CreateTrayIcon() override {
        icons[next] = {};
        return next++;
    }
    void SetTrayIconImage(TTrayIconKey key, const TTrayIconImage& image) override { icons.at(key).images = image.images; }
    void SetTrayIconTooltip(TTrayIconKey key, const std::string& tooltip) override { icons.at(key).tooltip = tooltip; }
    void DestroyTrayIcon(TTrayIconKey key) override { icons.erase(key); }
    TTrayPoint CursorPos() const override { return cursor; }
    bool ActivateDesktopWindow() override { return true; }
    void BringApplicationToFront() override {}
    // The first pixel of the icon's first image: which message's image it shows.
    uint32_t Shown(TTrayIconKey key) const { return icons.at(key).images.at(0).pixels.at(0); }

    ITrayIconEvents* sink = nullptr;
    std::map<TTrayIconKey, Icon> icons;
    TTrayIconKey next = 100;
    TTrayPoint cursor{100, 200};
};

}  // namespace kiv::test
