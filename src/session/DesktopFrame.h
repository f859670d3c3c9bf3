#pragma once
// The logic of the frame around a whole remote desktop (every display mode but
// seamless windows): the toolbar's layout and its buttons, the drop-down
// toolbar of full screen, moving and resizing through the window manager, the
// device menu of the USB library, and the monitor hot key.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "launch/KivFile.h"
#include "ports/FrameView.h"
#include "ports/GlobalHotKey.h"
#include "ports/SessionWindowView.h"
#include "ports/Timer.h"
#include "ports/UsbLibrary.h"
#include "session/MyHotKey.h"
#include "session/UsbDeviceList.h"

namespace kiv {

struct TDesktopFramePorts {
    IFrameView& view;
    ISessionWindowView& window;
    ITimerFactory& timers;
    IUsbLibrary* usb = nullptr;
    IGlobalHotKey* hotKey = nullptr;
};

// What the frame asks of the session window.
struct TDesktopFrameHost {
    std::function<void()> showSessionWindow;
    // The disconnect question; unless answered No, disconnect and close.
    std::function<void()> askDisconnect;
    // SHELL_DESKTOP_SIZE with the remote desktop view's size.
    std::function<void(int32_t width, int32_t height)> sendDesktopSize;
};

// A window manager resizes in many small steps; the frame acts once the size
// has stayed put this long and no mouse button is down.
inline constexpr int kResizeSettleMs = 400;

class TDesktopFrame final : public IFrameEvents {
public:
    TDesktopFrame(TDesktopFramePorts ports, TKIVFile& record, int monitorMode, int hotKeyIndex,
                  TDesktopFrameHost host);
    ~TDesktopFrame() override;
    TDesktopFrame(const TDesktopFrame&) = delete;
    TDesktopFrame& operator=(const TDesktopFrame&) = delete;

    // Toolbar and border by display mode.
    void LayoutToolbar();
    // The server shell has started: the monitor hot key is taken.
    void ActivateHotKey();
    void OnHotkey();

    int CurrentMonitor() const { return currentMonitor_; }
    const TToolbarLayout& Layout() const { return layout_; }
    TMyHotKey& HotKey() { return hotKey_; }

    // IFrameEvents
    void OnBtnMinClick() override;
    void OnBtnMaxClick() override;
    void OnBtnCloseClick() override;
    void OnBtnMenuClick() override;
    void OnDeviceMenuItemClick(std::size_t index) override;
    void OnToolbarDoubleClick() override;
    void OnToolbarMouseDown(int32_t x, int32_t y) override;
    void OnPanelMouseMove(int32_t x, int32_t y) override;
    void OnPanelMouseDown(int32_t x, int32_t y) override;
    void OnWindowPointer(int32_t x, int32_t y) override;
    void OnDesktopPanelResize() override;

private:
    void SwitchDisplayMode();
    void OnResizeSettled();
    bool DockedAndNormal() const;

    TDesktopFramePorts ports_;
    TKIVFile& record_;
    int monitorMode_;
    TDesktopFrameHost host_;
    TToolbarLayout layout_;
    int currentMonitor_ = 0;
    std::vector<TUsbDevice> devices_;  // what the device menu shows
    TMyHotKey hotKey_;
    std::unique_ptr<ITimer> resizeSettle_;
};

}  // namespace kiv
