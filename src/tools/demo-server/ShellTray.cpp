#include "tools/demo-server/ShellTray.h"

#include "desktop/TrayMessages.h"
#include "tools/demo-server/DemoIcon.h"

namespace kiv::demo {

namespace {

constexpr std::uint32_t kFirstColour = 0xE08A1E;   // orange
constexpr std::uint32_t kFoldedColour = 0xC0392B;  // red: id 2, shown in the icon of id 1
constexpr std::uint32_t kColour5000 = 0x27AE60;    // green
constexpr std::uint32_t kColour6000 = 0x8E44AD;    // purple

}  // namespace

void TShellTray::Send(const char* action, const TTrayIconUpdate& update) {
    output_.Send("CSML", BuildTrayMessage(update));
    TJson line;
    line["event"] = "tray";
    line["action"] = action;
    line["window"] = update.window;
    line["id"] = update.id;
    line["callback"] = update.callback;
    line["image"] = !update.icon.empty();
    line["tip"] = update.tip;
    output_.Record(std::move(line));
}

void TShellTray::AddIcons(std::int64_t handle, const std::string& appId) {
    // The tray family knows 32-bit window handles.
    const auto window = static_cast<std::int32_t>(handle);
    Send("add", {window, kTrayAdd, 1, 0x0401, appId + " tray 1|no image yet", {}});
    Send("modify", {window, kTrayModify, 1, 0x0401, appId + " tray 1|the image came", MakeDemoTrayIcon(kFirstColour)});
    Send("add", {window, kTrayAdd, 2, 0x0402, appId + " tray 2|same window, small id", MakeDemoTrayIcon(kFoldedColour)});
    Send("add", {window, kTrayAdd, 5000, 0x8001, appId + " tray 5000", MakeDemoTrayIcon(kColour5000)});
    Send("add", {window, kTrayAdd, 6000, 0x8002, appId + " tray 6000", MakeDemoTrayIcon(kColour6000)});
}

void TShellTray::OnMouse(const TTrayMouse& mouse) {
    TJson line;
    line["event"] = "tray-mouse";
    line["window"] = mouse.window;
    line["id"] = mouse.id;
    line["callback"] = mouse.callback;
    line["message"] = mouse.message;
    line["x"] = mouse.x;
    line["y"] = mouse.y;
    output_.Record(std::move(line));
    if (mouse.message == kTrayMiddleUp)
        Send("delete", {mouse.window, kTrayDelete, mouse.id, static_cast<std::uint16_t>(mouse.callback), {}, {}});
}

}  // namespace kiv::demo
