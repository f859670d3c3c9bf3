#include "tools/demo-server/ServerDesktop.h"

#include <algorithm>

#include "tools/demo-server/DemoFont.h"

namespace kiv::demo {

namespace {

constexpr int kTextScale = 2;
constexpr int kTitleTextLeft = 8;
constexpr int kTitleTextTop = 4;
constexpr int kBodyTextLeft = 10;
constexpr int kBodyTextTop = kTitleBarHeight + 10;
constexpr int kLineHeight = 22;
constexpr int kMenuItemHeight = 24;
constexpr int kCloseBoxSize = 14;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kMenuBorder = 0x404040;

bool InText(const std::string& text, int left, int top, int x, int y) {
    return TextPixel(text, kTextScale, x - left, y - top);
}

}  // namespace

TWindowRect BodyTextCaret(const TServerWindow& window, std::size_t line, std::size_t column) {
    const int left = window.rect.left + kBodyTextLeft + static_cast<int>(column) * kCellWidth * kTextScale;
    const int top = window.rect.top + kBodyTextTop + static_cast<int>(line) * kLineHeight;
    return TWindowRect{left, top, left + 2, top + kCellHeight * kTextScale};
}

bool TServerWindow::Covers(int x, int y) const {
    if (minimized || !rect.Contains(x, y)) return false;
    if (region.empty()) return true;
    const int rx = x - rect.left;
    const int ry = y - rect.top;
    return std::any_of(region.begin(), region.end(), [&](const TWindowRect& r) { return r.Contains(rx, ry); });
}

TServerWindow& TServerDesktop::Add(TServerWindow window) {
    windows_.push_back(std::move(window));
    return windows_.back();
}

TServerWindow* TServerDesktop::Find(std::int64_t handle) {
    const auto it = std::find_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w.handle == handle; });
    return it == windows_.end() ? nullptr : &*it;
}

void TServerDesktop::Raise(std::int64_t handle) {
    const auto it = std::find_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w.handle == handle; });
    if (it == windows_.end()) return;
    std::rotate(it, it + 1, windows_.end());
    // A popup menu stays above every window until it closes.
    std::stable_partition(windows_.begin(), windows_.end(), [](const auto& w) { return w.kind != TWindowKind::Menu; });
    for (TServerWindow& w : windows_) w.active = w.kind == TWindowKind::Application && w.handle == handle;
}

bool TServerDesktop::Remove(std::int64_t handle) {
    const auto it = std::find_if(windows_.begin(), windows_.end(), [&](const auto& w) { return w.handle == handle; });
    if (it == windows_.end()) return false;
    windows_.erase(it);
    return true;
}

std::uint32_t TServerDesktop::WindowPixel(const TServerWindow& w, int x, int y) const {
    const int lx = x - w.rect.left;
    const int ly = y - w.rect.top;
    const int width = w.rect.Width();
    const int height = w.rect.Height();
    const bool edge = lx == 0 || ly == 0 || lx == width - 1 || ly == height - 1;
    switch (w.kind) {
        case TWindowKind::Menu: {
            if (edge) return kMenuBorder;
            for (std::size_t i = 0; i < w.lines.size(); ++i) {
                if (InText(w.lines[i], kBodyTextLeft, 5 + static_cast<int>(i) * kMenuItemHeight, lx, ly))
                    return kWindowTextColour;
            }
            return kWhite;
        }
        case TWindowKind::Application:
        case TWindowKind::ShapeOnly: break;
    }
    if (edge) return kWindowFrameColour;
    if (ly <= kTitleBarHeight) {
        // A close box at the right end of the title bar.
        const int boxLeft = width - kCloseBoxSize - 5;
        const int bx = lx - boxLeft;
        const int by = ly - 4;
        if (bx >= 0 && bx < kCloseBoxSize && by >= 0 && by < kCloseBoxSize) {
            const bool cross = bx == by || bx == kCloseBoxSize - 1 - by;
            return cross ? (w.active ? w.colour : kInactiveTitleColour) : kWhite;
        }
        if (InText(w.title, kTitleTextLeft, kTitleTextTop, lx, ly)) return kWhite;
        return w.active ? w.colour : kInactiveTitleColour;
    }
    for (std::size_t i = 0; i < w.lines.size(); ++i) {
        if (InText(w.lines[i], kBodyTextLeft, kBodyTextTop + static_cast<int>(i) * kLineHeight, lx, ly))
            return kWindowTextColour;
    }
    return kWindowBodyColour;
}

std::uint32_t TServerDesktop::ColorAt(int x, int y) const {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
        if (it->kind != TWindowKind::ShapeOnly && it->Covers(x, y)) return WindowPixel(*it, x, y);
    return pattern_.ColorAt(x, y);
}

TBytes TServerDesktop::BottomUpTile(int x, int y, int width, int height) const {
    // Only the windows that reach into the tile are looked at per pixel.
    const TWindowRect tile{x, y, x + width, y + height};
    std::vector<const TServerWindow*> touching;
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        const TWindowRect& r = it->rect;
        if (it->kind != TWindowKind::ShapeOnly && !it->minimized && r.left < tile.right && r.right > tile.left && r.top < tile.bottom && r.bottom > tile.top)
            touching.push_back(&*it);
    }
    if (touching.empty()) return pattern_.BottomUpTile(x, y, width, height);
    TBytes pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (int row = 0; row < height; ++row) {
        const int py = y + height - 1 - row;
        std::uint8_t* out = pixels.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width) * 4;
        for (int col = 0; col < width; ++col, out += 4) {
            const int px = x + col;
            std::uint32_t rgb = 0;
            bool found = false;
            for (const TServerWindow* w : touching) {
                if (w->Covers(px, py)) {
                    rgb = WindowPixel(*w, px, py);
                    found = true;
                    break;
                }
            }
            if (!found) rgb = pattern_.ColorAt(px, py);
            out[0] = static_cast<std::uint8_t>(rgb);
            out[1] = static_cast<std::uint8_t>(rgb >> 8);
            out[2] = static_cast<std::uint8_t>(rgb >> 16);
            out[3] = 0xFF;
        }
    }
    return pixels;
}

}  // namespace kiv::demo
