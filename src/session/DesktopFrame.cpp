#include "session/DesktopFrame.h"

#include <exception>

#include "infra/CodePage.h"
#include "infra/DebugLog.h"
#include "infra/LanguageStyle.h"
#include "session/DropDownToolbar.h"
#include "session/FrameBorder.h"
#include "session/ToolbarLayout.h"

namespace kiv {

namespace {

std::string Lookup(std::string_view key) { return LanguageStyle() ? LanguageStyle()->GetText(key) : std::string(); }

}  // namespace

TDesktopFrame::TDesktopFrame(TDesktopFramePorts ports, TKIVFile& record, int monitorMode, int hotKeyIndex,
                             TDesktopFrameHost host)
    : ports_(ports), record_(record), monitorMode_(monitorMode), host_(std::move(host)), hotKey_(ports.hotKey) {
    hotKey_.Key = hotKeyIndex;
    hotKey_.ControlKey = kHotKeyAlt;
    hotKey_.OnHotkey = [this] { OnHotkey(); };
    resizeSettle_ = ports_.timers.CreateTimer([this] { OnResizeSettled(); });
    ports_.view.SetFrameEvents(this);
}

TDesktopFrame::~TDesktopFrame() {
    ports_.view.SetFrameEvents(nullptr);
    hotKey_.SetActive(false);
}

void TDesktopFrame::LayoutToolbar() {
    layout_ = ToolbarLayoutFor(record_.ScreenFull, ports_.view.WindowRect().width, SystemToUtf8(record_.AppName));
    layout_.hints = TToolbarHints{Lookup("ToolbarPin"), Lookup("ToolbarDevices"), Lookup("ToolbarMinimize"),
                                  Lookup("ToolbarMaximize"), Lookup("ToolbarClose")};
    ports_.view.ApplyToolbarLayout(layout_);
}

void TDesktopFrame::ActivateHotKey() {
    try {
        hotKey_.SetActive(true);
    } catch (const std::exception& error) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[TDesktopFrame.ActivateHotKey]Exception:") + error.what());
    }
}

void TDesktopFrame::OnHotkey() {
    const std::optional<int> next = MonitorAfterHotkey(monitorMode_, currentMonitor_);
    if (!next) return;
    currentMonitor_ = *next;
    ports_.view.CenterOnMonitor(currentMonitor_);
}

void TDesktopFrame::OnBtnMinClick() { ports_.view.MinimizeWindow(); }

void TDesktopFrame::OnBtnMaxClick() { SwitchDisplayMode(); }

void TDesktopFrame::OnToolbarDoubleClick() { SwitchDisplayMode(); }

void TDesktopFrame::SwitchDisplayMode() {
    ports_.window.ShowCover(false);
    // Windowed and proportional go to full screen; full screen comes back as a plain window.
    const bool toFullScreen = record_.ScreenFull == 0 || record_.ScreenFull == 2 || record_.ScreenFull == 4;
    record_.ScreenFull = toFullScreen ? 1 : 0;
    ports_.view.SetWindowMaximized(toFullScreen);
    ports_.window.PlaceWindow();
    if (host_.showSessionWindow) host_.showSessionWindow();
    LayoutToolbar();
}

void TDesktopFrame::OnBtnCloseClick() {
    if (host_.askDisconnect) host_.askDisconnect();
}

void TDesktopFrame::OnBtnMenuClick() {
    // Without the library (or its list function) the menu opens empty; a
    // library that knows no devices keeps it shut.
    const std::optional<std::string> list = ports_.usb ? ports_.usb->GetUsbList() : std::nullopt;
    if (list && list->empty()) return;
    devices_ = list ? ParseUsbList(*list) : std::vector<TUsbDevice>{};
    std::vector<TDeviceMenuItem> items;
    items.reserve(devices_.size());
    for (const TUsbDevice& device : devices_) items.push_back({SystemToUtf8(device.caption), device.checked});
    ports_.view.ShowDeviceMenu(items);
}

void TDesktopFrame::OnDeviceMenuItemClick(std::size_t index) {
    if (index >= devices_.size() || !ports_.usb) return;
    // The check marks follow the library's next list, not the click.
    if (!ports_.usb->RedirectUsb(UsbDeviceKey(devices_[index]), 0) && DebugSwitches[dmMain])
        WriteLog("[TDesktopFrame.DeviceMenu]the USB library has no RedirectUsb");
}

void TDesktopFrame::OnToolbarMouseDown(int32_t x, int32_t y) {
    if (layout_.dock != TToolbarDock::Top) return;
    const TRect bar = ports_.view.ToolbarRect();
    if (x >= 0 && y >= 0 && x < bar.width && y < bar.height) ports_.view.StartSystemMove();
}

void TDesktopFrame::OnPanelMouseMove(int32_t x, int32_t y) {
    const TRect panel = ports_.view.PanelRect();
    ports_.view.SetPanelCursor(ZoneCursor(BorderZoneAt(x, y, panel.width, panel.height)));
}

void TDesktopFrame::OnPanelMouseDown(int32_t x, int32_t y) {
    const TRect panel = ports_.view.PanelRect();
    if (const uint32_t edges = ZoneEdges(BorderZoneAt(x, y, panel.width, panel.height)); edges != 0)
        ports_.view.StartSystemResize(edges);
}

void TDesktopFrame::OnWindowPointer(int32_t x, int32_t y) {
    if (layout_.dock != TToolbarDock::Floating) return;
    const TRect bar = ports_.view.ToolbarRect();
    switch (DropDownAction({bar, ports_.view.HoldChecked(), ports_.view.DeviceMenuOpen()}, x, y)) {
        case TDropDownAction::Show: ports_.view.SetToolbarTop(0, true); break;
        case TDropDownAction::Hide: ports_.view.SetToolbarTop(-bar.height, false); break;
        case TDropDownAction::None: break;
    }
}

bool TDesktopFrame::DockedAndNormal() const {
    return layout_.dock == TToolbarDock::Top && ports_.view.WindowStateNormal();
}

void TDesktopFrame::OnDesktopPanelResize() {
    if (layout_.dock == TToolbarDock::Floating) {
        // The window's final size may arrive after the layout (the window manager
        // maximises on its own time): the floating toolbar stays centred.
        const TRect bar = ports_.view.ToolbarRect();
        layout_.rect = FloatingToolbarRect(ports_.view.WindowRect().width, bar.y);
        ports_.view.ApplyToolbarLayout(layout_);
        return;
    }
    if (DockedAndNormal()) resizeSettle_->Start(kResizeSettleMs);
}

void TDesktopFrame::OnResizeSettled() {
    resizeSettle_->Stop();
    if (!DockedAndNormal()) return;
    // Placing the window while the window manager still drags its edge would
    // fight the drag: wait for the button to come up.
    if (ports_.view.PointerButtonDown()) {
        resizeSettle_->Start(kResizeSettleMs);
        return;
    }
    const TRect window = ports_.view.WindowRect();
    record_.Width = window.width;
    record_.Height = window.height;
    if (host_.showSessionWindow) host_.showSessionWindow();
    const TRect view = ports_.view.ViewRect();
    if (host_.sendDesktopSize) host_.sendDesktopSize(view.width, view.height);
    ports_.view.FollowViewSize();
}

}  // namespace kiv
