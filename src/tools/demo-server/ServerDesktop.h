#pragma once
// The server's desktop as the demo shell keeps it: the demo pattern with the
// shell's windows on it, back to front. It answers what colour any pixel has,
// which is all the painter needs; the shell decides where windows go.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/demo-server/DesktopPattern.h"
#include "tools/demo-server/SmlWire.h"

namespace kiv::demo {

enum class TWindowKind {
    Application,  // a framed window with a title bar and a body text
    Menu,         // a popup menu: a white box with its items
    ShapeOnly,    // published but never drawn (the stress windows: a load for the clipping)
};

struct TServerWindow {
    std::int64_t handle = 0;
    TWindowKind kind = TWindowKind::Application;
    std::string appId;
    std::string title;
    std::uint32_t style = 0;
    bool inTaskbar = false;
    std::uint32_t colour = 0;  // title bar (or block) colour, 0xRRGGBB
    TWindowRect rect;
    TWindowRect restoreRect;           // where a minimized window comes back to
    std::vector<TWindowRect> region;   // relative; empty: the whole rectangle
    std::vector<std::string> lines;    // the body text (menu: the items)
    bool minimized = false;
    bool active = false;
    TBytes icon;

    // Whether the window covers the desktop pixel (x, y).
    bool Covers(int x, int y) const;
};

// Parked where a minimized window waits, off every screen.
inline constexpr int kParkedEdge = -32000;

class TServerDesktop {
public:
    explicit TServerDesktop(const TDesktopPattern& pattern) : pattern_(pattern) {}

    // The new window goes on top.
    TServerWindow& Add(TServerWindow window);
    TServerWindow* Find(std::int64_t handle);
    // Moves the window to the top (below an open menu) and makes it the one
    // active application window.
    void Raise(std::int64_t handle);
    bool Remove(std::int64_t handle);
    const std::vector<TServerWindow>& Windows() const { return windows_; }  // back to front
    std::vector<TServerWindow>& Windows() { return windows_; }

    std::uint32_t ColorAt(int x, int y) const;
    // As TDesktopPattern::BottomUpTile, with the windows drawn over it.
    TBytes BottomUpTile(int x, int y, int width, int height) const;

private:
    std::uint32_t WindowPixel(const TServerWindow& window, int x, int y) const;

    TDesktopPattern pattern_;
    std::vector<TServerWindow> windows_;
};

// The looks of an application window, for tests and screenshots.
inline constexpr std::uint32_t kWindowFrameColour = 0x1E1E1E;
inline constexpr std::uint32_t kWindowBodyColour = 0xF4F4F0;
inline constexpr std::uint32_t kWindowTextColour = 0x202020;
inline constexpr std::uint32_t kInactiveTitleColour = 0x8A8A8A;
inline constexpr int kTitleBarHeight = 22;

// Where a caret stands before the column-th character of the window's body line
// (2 pixels wide, a line of text high), in desktop pixels.
TWindowRect BodyTextCaret(const TServerWindow& window, std::size_t line, std::size_t column);

}  // namespace kiv::demo
