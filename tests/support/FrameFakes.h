#pragma once
// Recording stand-ins for the full-desktop frame's ports.
#include <optional>
#include <string>
#include <vector>

#include "ports/FrameView.h"
#include "ports/GlobalHotKey.h"
#include "ports/UsbLibrary.h"

namespace kiv::test {

struct FakeFrameView : IFrameView {
    void SetFrameEvents(IFrameEvents* e) override { events = e; }
    void ApplyToolbarLayout(const TToolbarLayout& l) override {
        layout = l;
        toolbar = l.dock == TToolbarDock::Floating ? l.rect : TRect{0, 0, window.width, l.rect.height};
        ++layouts;
    }
    TRect ToolbarRect() const override { return toolbar; }
    void SetToolbarTop(int32_t top, bool raise) override {
        toolbar.y = top;
        raised += raise ? 1 : 0;
    }
    bool HoldChecked() const override { return hold; }
    TRect WindowRect() const override { return window; }
    TRect PanelRect() const override { return panel; }
    TRect ViewRect() const override { return viewRect; }
    bool WindowStateNormal() const override { return normal; }
    void SetWindowMaximized(bool m) override {
        maximized = m;
        normal = !m;
    }
    void MinimizeWindow() override { ++minimized; }
    void SetPanelCursor(TFrameCursor c) override { cursor = c; }
    void StartSystemMove() override { ++moves; }
    void StartSystemResize(uint32_t e) override { resizes.push_back(e); }
    bool PointerButtonDown() const override { return buttonDown; }
    void ShowDeviceMenu(const std::vector<TDeviceMenuItem>& items) override {
        menu = items;
        ++menusShown;
    }
    bool DeviceMenuOpen() const override { return menuOpen; }
    void CenterOnMonitor(int index) override { centredOn.push_back(index); }
    void FollowViewSize() override { ++followed; }

    IFrameEvents* events = nullptr;
    TToolbarLayout layout;
    TRect toolbar, window{0, 0, 800, 600}, panel{0, 30, 800, 570}, viewRect{1, 31, 798, 568};
    bool hold = false, normal = true, maximized = false, menuOpen = false, buttonDown = false;
    int layouts = 0, raised = 0, minimized = 0, moves = 0, menusShown = 0, followed = 0;
    TFrameCursor cursor = TFrameCursor::Arrow;
    std::vector<uint32_t> resizes;
    std::vector<TDeviceMenuItem> menu;
    std::vector<int> centredOn;
};

struct FakeHotKeys : IGlobalHotKey {
    bool Register(uint32_t m, uint32_t k, IGlobalHotKeyEvents* e) override {
        modifiers = m;
        key = k;
        events = e;
        held = refuse ? false : true;
        return held;
    }
    void Unregister() override {
        held = false;
        ++released;
    }
    uint32_t modifiers = 0, key = 0;
    IGlobalHotKeyEvents* events = nullptr;
    bool held = false, refuse = false;
    int released = 0;
};

struct FakeUsbList : IUsbLibrary {
    std::optional<std::string> GetUsbList() override { return list; }
    bool RedirectUsb(int64_t key, int32_t value) override {
        redirected.push_back(key);
        values.push_back(value);
        return true;
    }
    bool SendClientInitParam(const std::string&) override { return true; }
    std::optional<std::string> list;
    std::vector<int64_t> redirected;
    std::vector<int32_t> values;
};

}  // namespace kiv::test
